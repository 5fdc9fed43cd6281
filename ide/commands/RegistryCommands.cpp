// The registry: reg get, set, delete, list, export, import.
#include "Commands_p.h"

#include "rtl/RegFile.h"
#include "rtl/RegistryHive.h"
#include "rtl/SysUtils.h"

#include <ostream>

using namespace commands;

namespace {

// A key below HKEY_CURRENT_USER; the root may be named in front of it.
std::u16string KeyPath(const std::string& Key) {
  std::u16string K = U16(Key);
  for (std::u16string_view Root : {u"HKEY_CURRENT_USER\\", u"HKCU\\"})
    if (K.size() >= Root.size() && SameText(std::u16string_view(K).substr(0, Root.size()), Root))
      return K.substr(Root.size());
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

} // namespace

void AddRegistryCommands(TCommandTable& Table) {
  Table.push_back({"reg",
                   "reg get KEY NAME | reg set KEY NAME DATA | reg delete KEY NAME | reg list KEY "
                   "| reg export KEY FILE | reg import FILE",
                   "the current user's registry (KEY below HKEY_CURRENT_USER)", TCommand::Normal,
                   CmdReg});
}
