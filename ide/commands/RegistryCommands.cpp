// The registry: reg get, set, delete, list, export, import.
#include "Commands_p.h"

#include "rtl/RegFile.h"
#include "rtl/RegistryHive.h"
#include "rtl/SysUtils.h"

#include <filesystem>
#include <ostream>

using namespace commands;

namespace {

// The length of the root's name in front of a key ("HKEY_CURRENT_USER\" or "HKCU\", in any
// letter case), or 0.
size_t RootLength(std::u16string_view K) {
  for (std::u16string_view Root : {u"HKEY_CURRENT_USER\\", u"HKCU\\"})
    if (K.size() >= Root.size() && SameText(K.substr(0, Root.size()), Root))
      return Root.size();
  return 0;
}

// A key below HKEY_CURRENT_USER; the root may be named in front of it, and one "\" may end it,
// as completion leaves a key whose subkeys can follow.
std::u16string KeyPath(const std::string& Key) {
  std::u16string K = U16(Key);
  K.erase(0, RootLength(K));
  if (K.ends_with(u'\\'))
    K.pop_back();
  return K;
}

std::string ValueText(const TRegValue& V) {
  if (V.IsString())
    return U8(V.AsString());
  if (V.Type == REG_DWORD && V.Data.size() == 4) {
    const uint32_t D =
        V.Data[0] | (V.Data[1] << 8) | (V.Data[2] << 16) | (static_cast<uint32_t>(V.Data[3]) << 24);
    return std::to_string(D);
  }
  static const char Digits[] = "0123456789abcdef";
  std::string Hex;
  for (uint8_t B : V.Data) {
    if (!Hex.empty())
      Hex += ',';
    Hex += Digits[B >> 4];
    Hex += Digits[B & 0xF];
  }
  return "hex(" + std::to_string(V.Type) + "):" + Hex;
}

void CmdReg(TCommandInterpreter& I, const TCommandLine& L) {
  const std::vector<std::string> Args = SplitArguments(L.Rest);
  const char* Text = "reg get KEY NAME | reg set KEY NAME DATA | reg delete KEY NAME | "
                     "reg list KEY | reg export KEY FILE | reg import FILE";
  if (Args.empty())
    Usage(Text);
  std::ostream& Out = I.Out();
  const std::string& Verb = Args[0];
  std::unique_ptr<TRegistryHive> Hive = OpenCurrentUserHive();
  if (Verb == "get" && Args.size() == 3) {
    const std::u16string Key = KeyPath(Args[1]);
    std::optional<TRegValue> V = Hive->ReadValue(Key, U16(Args[2]));
    if (!V) {
      if (!Hive->KeyExists(Key))
        throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" does not exist");
      throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" has no value " +
                               U16(Quote(Args[2])));
    }
    Out << ValueText(*V) << '\n';
  } else if (Verb == "set" && Args.size() == 4) {
    Hive->WriteValue(KeyPath(Args[1]), TRegValue::String(U16(Args[2]), U16(Args[3])));
  } else if (Verb == "delete" && Args.size() == 3) {
    Hive->DeleteValue(KeyPath(Args[1]), U16(Args[2]));
  } else if (Verb == "list" && Args.size() == 2) {
    const std::u16string Key = KeyPath(Args[1]);
    if (!Hive->KeyExists(Key))
      throw ERegistryException(u"The key HKEY_CURRENT_USER\\" + Key + u" does not exist");
    for (const UnicodeString& Sub : Hive->SubKeyNames(Key))
      Out << U8(Sub) << "\\\n";
    for (const UnicodeString& Name : Hive->ValueNames(Key)) {
      std::optional<TRegValue> V = Hive->ReadValue(Key, Name);
      Out << (Name.empty() ? std::string("(Default)") : U8(Name)) << " = "
          << (V ? ValueText(*V) : std::string()) << '\n';
    }
  } else if (Verb == "export" && Args.size() == 3) {
    ExportRegistryFile(*Hive, KeyPath(Args[1]), U16(Args[2]));
  } else if (Verb == "import" && Args.size() == 2) {
    ImportRegistryFile(*Hive, U16(Args[1]));
  } else {
    Usage(Text);
  }
}

// --- completion ---------------------------------------------------------------------------------

// The current user's hive for completion, or nullptr when there is no hive file yet: completing
// never creates one.
std::unique_ptr<TRegistryHive> HiveToComplete() {
  std::error_code Error;
  if (!std::filesystem::exists(std::filesystem::path(U8(CurrentUserHiveFile())), Error))
    return nullptr;
  return OpenCurrentUserHive();
}

// Keys below HKEY_CURRENT_USER whose path begins with Typed. A key with subkeys ends with "\"
// and its path goes on.
std::vector<TArgumentChoice> KeyChoices(const std::string& Typed) {
  std::vector<TArgumentChoice> Choices;
  const std::u16string T = U16(Typed);
  const size_t Root = RootLength(T);
  if (Root == 0 && !T.empty() && T.find(u'\\') == std::u16string::npos &&
      StartsWithIgnoringCase("HKEY_CURRENT_USER", Typed))
    Choices.push_back({"HKEY_CURRENT_USER\\", false, ""});
  std::unique_ptr<TRegistryHive> Hive = HiveToComplete();
  if (!Hive)
    return Choices;
  // The typed path up to its last "\" stays as typed; the names after it come from the hive.
  const size_t Slash = T.rfind(u'\\');
  const std::u16string Kept =
      Slash == std::u16string::npos || Slash < Root ? T.substr(0, Root) : T.substr(0, Slash + 1);
  const std::u16string Parent = Kept.substr(Root, Kept.size() > Root ? Kept.size() - Root - 1 : 0);
  if (!Parent.empty() && !Hive->KeyExists(Parent))
    return Choices;
  for (const UnicodeString& Name : Hive->SubKeyNames(Parent)) {
    const std::u16string Path = Parent.empty() ? Name : Parent + u"\\" + Name;
    const bool Goes = !Hive->SubKeyNames(Path).empty();
    Choices.push_back({U8(Kept + Name) + (Goes ? "\\" : ""), !Goes, U8(Name) + (Goes ? "\\" : "")});
  }
  return Choices;
}

// The names of the values of Key (not the default value, which has none to type).
std::vector<TArgumentChoice> ValueChoices(const std::string& Key) {
  std::vector<TArgumentChoice> Choices;
  std::unique_ptr<TRegistryHive> Hive = HiveToComplete();
  if (!Hive)
    return Choices;
  const std::u16string K = KeyPath(Key);
  if (!Hive->KeyExists(K))
    return Choices;
  for (const UnicodeString& Name : Hive->ValueNames(K))
    if (!Name.empty())
      Choices.push_back({U8(Name), true, ""});
  return Choices;
}

std::vector<TArgumentChoice> RegChoices(const TCommandInterpreter&, const TPartialArguments& Args) {
  if (Args.Done.empty())
    return WordChoices({"get", "set", "delete", "list", "export", "import"});
  const std::string& Verb = Args.Done[0];
  const bool KeyFirst =
      Verb == "get" || Verb == "set" || Verb == "delete" || Verb == "list" || Verb == "export";
  if (Args.Done.size() == 1)
    return KeyFirst           ? KeyChoices(Args.Typed)
           : Verb == "import" ? FileChoices(Args.Typed)
                              : std::vector<TArgumentChoice>{};
  if (Args.Done.size() == 2 && (Verb == "get" || Verb == "set" || Verb == "delete"))
    return ValueChoices(Args.Done[1]);
  if (Args.Done.size() == 2 && Verb == "export")
    return FileChoices(Args.Typed);
  return {};
}

} // namespace

void AddRegistryCommands(TCommandTable& Table) {
  Table.push_back({"reg",
                   "reg get KEY NAME | reg set KEY NAME DATA | reg delete KEY NAME | reg list KEY "
                   "| reg export KEY FILE | reg import FILE",
                   "the current user's registry (KEY below HKEY_CURRENT_USER)",
                   "reg list \"Software\\Orvik\\Palette Menu\"", TCommand::Normal,
                   CmdReg, ArgumentCompleter(RegChoices)});
}
