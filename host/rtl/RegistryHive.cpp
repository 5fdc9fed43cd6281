#include "rtl/RegistryHive.h"

#include "rtl/Exception.h"
#include "rtl/SqliteHive.h"
#include "rtl/SysUtils.h"

#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>

// --- values -----------------------------------------------------------------------------------

TRegValue TRegValue::String(UnicodeString Name, std::u16string_view Text) {
  TRegValue V;
  V.Name = std::move(Name);
  V.Type = REG_SZ;
  V.Data.reserve((Text.size() + 1) * 2);
  for (char16_t C : Text) {
    V.Data.push_back(static_cast<uint8_t>(C & 0xFF));
    V.Data.push_back(static_cast<uint8_t>(C >> 8));
  }
  V.Data.push_back(0);
  V.Data.push_back(0);
  return V;
}

UnicodeString TRegValue::AsString() const {
  if (!IsString())
    throw ERegistryException(u"Invalid data type for '" + Name + u"': not a string value");
  // One terminating NUL is how strings are stored; anything before it is the text.
  size_t Units = Data.size() / 2;
  if (Units > 0 && Data[2 * Units - 2] == 0 && Data[2 * Units - 1] == 0)
    --Units;
  // Stored little-endian, as the host has them in memory: copied as they are there, in one
  // go (the string's own copy of code units is a memcpy).
  if constexpr (std::endian::native == std::endian::little)
    return UnicodeString(reinterpret_cast<const char16_t*>(Data.data()), Units);
  UnicodeString S(Units, u'\0');
  for (size_t I = 0; I < S.size(); ++I)
    S[I] = static_cast<char16_t>(Data[2 * I] | (Data[2 * I + 1] << 8));
  return S;
}

// --- names ------------------------------------------------------------------------------------

namespace RegistryNames {

namespace {

constexpr size_t ShownLength = 40;

bool NeedsEscape(std::u16string_view S, size_t I) {
  char16_t C = S[I];
  if (C < 0x20 || C == 0x7F || C == 0xFFFE || C == 0xFFFF)
    return true;
  if (U16_IS_LEAD(C))
    return I + 1 >= S.size() || !U16_IS_TRAIL(S[I + 1]);
  if (U16_IS_TRAIL(C))
    return I == 0 || !U16_IS_LEAD(S[I - 1]);
  return false;
}

UnicodeString Escaped(char16_t C) {
  static const char16_t Digits[] = u"0123456789ABCDEF";
  UnicodeString E = u"\\u";
  for (int Shift = 12; Shift >= 0; Shift -= 4)
    E += Digits[(C >> Shift) & 0xF];
  return E;
}

// NUL and unpaired surrogates cannot be stored as names exactly everywhere (SQLite text, .reg
// files), so they are refused rather than mangled. The message shows the name and where the
// character is, so that a caller can tell which of its names it was.
void CheckCharacters(std::u16string_view Name, const char16_t* What) {
  size_t At = Name.find(u'\0');
  const char16_t* Problem = u"the character NUL";
  if (At == std::u16string_view::npos) {
    Problem = u"an unpaired UTF-16 surrogate";
    for (size_t I = 0; I < Name.size() && At == std::u16string_view::npos; ++I)
      if ((U16_IS_LEAD(Name[I]) || U16_IS_TRAIL(Name[I])) && NeedsEscape(Name, I))
        At = I;
    if (At == std::u16string_view::npos)
      return;
  }
  throw ERegistryException(UnicodeString(u"Invalid registry ") + What + u" name " + Shown(Name) +
                           u": it contains " + Problem + u" (" + Escaped(Name[At]) +
                           u") at position " + IntToStr(At + 1));
}

} // namespace

UnicodeString Shown(std::u16string_view Name) {
  UnicodeString Out = u"'";
  size_t End = std::min(Name.size(), ShownLength);
  // A surrogate pair is not cut in two.
  if (End < Name.size() && End > 0 && U16_IS_LEAD(Name[End - 1]) && U16_IS_TRAIL(Name[End]))
    --End;
  for (size_t I = 0; I < End; ++I)
    Out += NeedsEscape(Name, I) ? Escaped(Name[I]) : UnicodeString(1, Name[I]);
  if (End < Name.size())
    Out += u"...";
  return Out + u"'";
}

std::vector<UnicodeString> SplitKeyPath(std::u16string_view Path) {
  std::vector<UnicodeString> Parts;
  if (Path.empty())
    return Parts;
  // Counted before anything is split, so that a huge path costs no more than one pass.
  const size_t Depth = static_cast<size_t>(std::count(Path.begin(), Path.end(), u'\\')) + 1;
  if (Depth > MaxKeyDepth)
    throw ERegistryException(u"Registry key path " + Shown(Path) + u" is too deep (" +
                             IntToStr(Depth) + u" levels, at most " + IntToStr(MaxKeyDepth) + u")");
  Parts.reserve(Depth);
  size_t Start = 0;
  while (true) {
    size_t End = Path.find(u'\\', Start);
    std::u16string_view Part =
        Path.substr(Start, End == std::u16string_view::npos ? Path.npos : End - Start);
    if (Part.empty())
      throw ERegistryException(u"Invalid registry key path " + Shown(Path) + u": empty key name");
    if (Part.size() > MaxKeyNameLength)
      throw ERegistryException(u"Registry key name " + Shown(Part) + u" is too long (" +
                               IntToStr(Part.size()) + u" characters, at most 255)");
    CheckCharacters(Part, u"key");
    Parts.emplace_back(Part);
    if (End == std::u16string_view::npos)
      break;
    Start = End + 1;
  }
  return Parts;
}

void CheckValueName(std::u16string_view Name) {
  if (Name.size() > MaxValueNameLength)
    throw ERegistryException(u"Registry value name " + Shown(Name) + u" is too long (" +
                             IntToStr(Name.size()) + u" characters, at most 16383)");
  CheckCharacters(Name, u"value");
}

// Names are compared as the string lists and menus compare them: simple case folding.
UnicodeString Fold(std::u16string_view Name) {
  return SimpleFoldCase(Name);
}

} // namespace RegistryNames

bool TRegistryHive::VisitValue(std::u16string_view Path, std::u16string_view Name, TValueUse Use) {
  std::optional<TRegValue> V = ReadValue(Path, Name);
  if (!V)
    return false;
  Use(*V);
  return true;
}

std::vector<TFileIdentity> TRegistryHive::Files() const {
  struct stat St;
  if (::stat(UTF8Encode(Location()).c_str(), &St) != 0)
    return {};
  return {{static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)}};
}

void TRegistryHive::Apply(const std::vector<TRegChange>& Changes) {
  if (Changes.empty())
    return;
  throw ERegistryException(u"The registry hive '" + Location() +
                           u"' cannot apply changes as one transaction");
}

// --- memory hive ------------------------------------------------------------------------------

namespace {

struct TMemoryKey {
  UnicodeString Name;
  UnicodeString Folded; // of Name, kept so that a look-up folds only the name looked for
  std::vector<std::unique_ptr<TMemoryKey>> SubKeys;
  std::vector<TRegValue> Values;
  std::vector<UnicodeString> FoldedValueNames; // of Values, index by index

  TMemoryKey() = default;
  TMemoryKey(const TMemoryKey&) = delete;
  TMemoryKey& operator=(const TMemoryKey&) = delete;
  // The subtree goes key by key from a list rather than by one destructor call per level, so
  // that the depth of a tree never decides how much stack its release takes.
  ~TMemoryKey() {
    std::vector<std::unique_ptr<TMemoryKey>> Pending = std::move(SubKeys);
    while (!Pending.empty()) {
      std::unique_ptr<TMemoryKey> K = std::move(Pending.back());
      Pending.pop_back();
      for (auto& S : K->SubKeys)
        Pending.push_back(std::move(S));
      K->SubKeys.clear();
    }
  }

  TMemoryKey* Child(std::u16string_view Folded) {
    for (auto& K : SubKeys)
      if (K->Folded == Folded)
        return K.get();
    return nullptr;
  }
  TRegValue* Value(std::u16string_view Folded) {
    for (size_t I = 0; I < Values.size(); ++I)
      if (FoldedValueNames[I] == Folded)
        return &Values[I];
    return nullptr;
  }
  // A deep copy, made from a list of keys still to copy rather than recursively.
  std::unique_ptr<TMemoryKey> Clone() const {
    auto Copy = std::make_unique<TMemoryKey>();
    std::vector<std::pair<const TMemoryKey*, TMemoryKey*>> Pending{{this, Copy.get()}};
    while (!Pending.empty()) {
      auto [From, To] = Pending.back();
      Pending.pop_back();
      To->Name = From->Name;
      To->Folded = From->Folded;
      To->Values = From->Values;
      To->FoldedValueNames = From->FoldedValueNames;
      To->SubKeys.reserve(From->SubKeys.size());
      for (const auto& S : From->SubKeys) {
        To->SubKeys.push_back(std::make_unique<TMemoryKey>());
        Pending.emplace_back(S.get(), To->SubKeys.back().get());
      }
    }
    return Copy;
  }
};

struct TMemoryStore {
  std::mutex Lock;
  std::unique_ptr<TMemoryKey> Root = std::make_unique<TMemoryKey>();
};

// The operations on one tree; the hive runs them under the store's lock.
TMemoryKey* Walk(TMemoryKey& Root, std::u16string_view Path, bool Create) {
  TMemoryKey* K = &Root;
  for (const UnicodeString& Part : RegistryNames::SplitKeyPath(Path)) {
    TMemoryKey* Next = K->Child(RegistryNames::Fold(Part));
    if (!Next) {
      if (!Create)
        return nullptr;
      K->SubKeys.push_back(std::make_unique<TMemoryKey>());
      Next = K->SubKeys.back().get();
      Next->Name = Part;
      Next->Folded = RegistryNames::Fold(Part);
    }
    K = Next;
  }
  return K;
}

void WriteValueIn(TMemoryKey& Root, std::u16string_view Path, const TRegValue& Value) {
  RegistryNames::CheckValueName(Value.Name);
  TMemoryKey* K = Walk(Root, Path, true);
  UnicodeString Folded = RegistryNames::Fold(Value.Name);
  if (TRegValue* V = K->Value(Folded)) {
    // Case-preserving: the name keeps the spelling it was created with.
    V->Type = Value.Type;
    V->Data = Value.Data;
  } else {
    K->Values.push_back(Value);
    K->FoldedValueNames.push_back(std::move(Folded));
  }
}

void DeleteValueIn(TMemoryKey& Root, std::u16string_view Path, std::u16string_view Name) {
  RegistryNames::CheckValueName(Name);
  TMemoryKey* K = Walk(Root, Path, false);
  if (!K)
    return;
  UnicodeString F = RegistryNames::Fold(Name);
  for (size_t I = 0; I < K->Values.size(); ++I)
    if (K->FoldedValueNames[I] == F) {
      K->Values.erase(K->Values.begin() + static_cast<std::ptrdiff_t>(I));
      K->FoldedValueNames.erase(K->FoldedValueNames.begin() + static_cast<std::ptrdiff_t>(I));
      break;
    }
}

void DeleteKeyIn(TMemoryKey& Root, std::u16string_view Path) {
  auto Parts = RegistryNames::SplitKeyPath(Path);
  if (Parts.empty())
    throw ERegistryException(u"Cannot delete the root key HKEY_CURRENT_USER");
  TMemoryKey* Parent = &Root;
  for (size_t I = 0; I + 1 < Parts.size() && Parent; ++I)
    Parent = Parent->Child(RegistryNames::Fold(Parts[I]));
  if (!Parent)
    return;
  UnicodeString F = RegistryNames::Fold(Parts.back());
  std::erase_if(Parent->SubKeys, [&](const auto& K) { return K->Folded == F; });
}

class TMemoryHive final : public TRegistryHive {
public:
  explicit TMemoryHive(std::shared_ptr<TMemoryStore> Store) : FStore(std::move(Store)) {}

  UnicodeString Location() const override { return u"(memory)"; }
  std::vector<TFileIdentity> Files() const override { return {}; }

  void CreateKey(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    Walk(*FStore->Root, Path, true);
  }
  bool KeyExists(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    return Walk(*FStore->Root, Path, false) != nullptr;
  }
  std::optional<TRegValue> ReadValue(std::u16string_view Path, std::u16string_view Name) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    RegistryNames::CheckValueName(Name);
    TMemoryKey* K = Walk(*FStore->Root, Path, false);
    TRegValue* V = K ? K->Value(RegistryNames::Fold(Name)) : nullptr;
    if (!V)
      return std::nullopt;
    return *V;
  }
  void WriteValue(std::u16string_view Path, const TRegValue& Value) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    WriteValueIn(*FStore->Root, Path, Value);
  }
  void DeleteValue(std::u16string_view Path, std::u16string_view Name) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    DeleteValueIn(*FStore->Root, Path, Name);
  }
  std::vector<UnicodeString> ValueNames(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    std::vector<UnicodeString> R;
    if (TMemoryKey* K = Walk(*FStore->Root, Path, false))
      for (auto& V : K->Values)
        R.push_back(V.Name);
    return R;
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    std::vector<UnicodeString> R;
    if (TMemoryKey* K = Walk(*FStore->Root, Path, false))
      for (auto& S : K->SubKeys)
        R.push_back(S->Name);
    return R;
  }
  void DeleteKey(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    DeleteKeyIn(*FStore->Root, Path);
  }
  // Works on a copy of the tree and puts it in place only when every change succeeded.
  void Apply(const std::vector<TRegChange>& Changes) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    std::unique_ptr<TMemoryKey> Copy = FStore->Root->Clone();
    for (const TRegChange& C : Changes) {
      switch (C.Kind) {
      case TRegChange::CreateKey:
        Walk(*Copy, C.Path, true);
        break;
      case TRegChange::WriteValue:
        WriteValueIn(*Copy, C.Path, C.Value);
        break;
      case TRegChange::DeleteValue:
        DeleteValueIn(*Copy, C.Path, C.Value.Name);
        break;
      case TRegChange::DeleteKey:
        DeleteKeyIn(*Copy, C.Path);
        break;
      }
    }
    FStore->Root = std::move(Copy);
  }

private:
  std::shared_ptr<TMemoryStore> FStore;
};

// The slots are reached from any thread that opens the hive: only under this lock.
std::mutex FactoryLock;
THookSlot<THiveFactory>& Factories() {
  static THookSlot<THiveFactory> Slot;
  return Slot;
}
THookSlot<UnicodeString>& Files() {
  static THookSlot<UnicodeString> Slot;
  return Slot;
}
UnicodeString RefuseEmpty(const UnicodeString& Path) {
  if (Path.empty())
    throw ERegistryException(u"No registry hive file given: the file name is empty");
  return Path;
}

UnicodeString FromEnvironment(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? UTF8Decode(V) : UnicodeString();
}

} // namespace

std::unique_ptr<TRegistryHive> NewMemoryHive() {
  return std::make_unique<TMemoryHive>(std::make_shared<TMemoryStore>());
}

TCurrentUserHiveScope::TCurrentUserHiveScope(THiveFactory Factory) {
  std::lock_guard<std::mutex> G(FactoryLock);
  FScope = std::make_unique<THookSlot<THiveFactory>::TScope>(Factories(), std::move(Factory));
}
TCurrentUserHiveScope::~TCurrentUserHiveScope() {
  std::lock_guard<std::mutex> G(FactoryLock);
  FScope.reset();
}

TCurrentUserHiveFileScope::TCurrentUserHiveFileScope(const UnicodeString& Path) {
  UnicodeString File = RefuseEmpty(Path);
  std::lock_guard<std::mutex> G(FactoryLock);
  FScope = std::make_unique<THookSlot<UnicodeString>::TScope>(Files(), std::move(File));
}
TCurrentUserHiveFileScope::~TCurrentUserHiveFileScope() {
  std::lock_guard<std::mutex> G(FactoryLock);
  FScope.reset();
}

UnicodeString CurrentUserHiveFile() {
  {
    std::lock_guard<std::mutex> G(FactoryLock);
    if (!Files().Current().empty())
      return Files().Current();
  }
  if (UnicodeString F = FromEnvironment("HOSTIDE_REGISTRY"); !F.empty())
    return F;
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base directory rules say.
  if (UnicodeString X = FromEnvironment("XDG_CONFIG_HOME"); !X.empty() && X[0] == u'/')
    return X + u"/hostide/HKCU.db";
  UnicodeString Home = FromEnvironment("HOME");
  if (Home.empty())
    throw ERegistryException(u"Cannot find the current user's registry hive: neither "
                             u"HOSTIDE_REGISTRY, XDG_CONFIG_HOME nor HOME is set");
  return Home + u"/.config/hostide/HKCU.db";
}

std::unique_ptr<TRegistryHive> OpenCurrentUserHive() {
  THiveFactory Factory;
  {
    std::lock_guard<std::mutex> G(FactoryLock);
    Factory = Factories().Current();
  }
  if (Factory)
    return Factory();
  return OpenSqliteHive(CurrentUserHiveFile());
}
