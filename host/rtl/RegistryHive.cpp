#include "rtl/RegistryHive.h"

#include "rtl/Exception.h"
#include "rtl/SysUtils.h"

#include <algorithm>
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
  UnicodeString S;
  S.reserve(Data.size() / 2);
  for (size_t I = 0; I + 1 < Data.size(); I += 2)
    S.push_back(static_cast<char16_t>(Data[I] | (Data[I + 1] << 8)));
  // One terminating NUL is how strings are stored; anything before it is the text.
  if (!S.empty() && S.back() == u'\0')
    S.pop_back();
  return S;
}

// --- names ------------------------------------------------------------------------------------

namespace RegistryNames {

std::vector<UnicodeString> SplitKeyPath(std::u16string_view Path) {
  std::vector<UnicodeString> Parts;
  if (Path.empty())
    return Parts;
  size_t Start = 0;
  while (true) {
    size_t End = Path.find(u'\\', Start);
    std::u16string_view Part =
        Path.substr(Start, End == std::u16string_view::npos ? Path.npos : End - Start);
    if (Part.empty())
      throw ERegistryException(u"Invalid registry key path '" + UnicodeString(Path) +
                               u"': empty key name");
    if (Part.size() > MaxKeyNameLength)
      throw ERegistryException(u"Registry key name too long (" + IntToStr(Part.size()) +
                               u" characters, at most 255) in '" + UnicodeString(Path) + u"'");
    Parts.emplace_back(Part);
    if (End == std::u16string_view::npos)
      break;
    Start = End + 1;
  }
  return Parts;
}

void CheckValueName(std::u16string_view Name) {
  if (Name.size() > MaxValueNameLength)
    throw ERegistryException(u"Registry value name too long (" + IntToStr(Name.size()) +
                             u" characters, at most 16383)");
}

UnicodeString Fold(std::u16string_view Name) {
  return FoldCase(Name);
}

} // namespace RegistryNames

// --- memory hive ------------------------------------------------------------------------------

namespace {

struct TMemoryKey {
  UnicodeString Name;
  std::vector<std::unique_ptr<TMemoryKey>> SubKeys;
  std::vector<TRegValue> Values;

  TMemoryKey* Child(std::u16string_view Folded) {
    for (auto& K : SubKeys)
      if (RegistryNames::Fold(K->Name) == Folded)
        return K.get();
    return nullptr;
  }
  TRegValue* Value(std::u16string_view Folded) {
    for (auto& V : Values)
      if (RegistryNames::Fold(V.Name) == Folded)
        return &V;
    return nullptr;
  }
};

struct TMemoryStore {
  std::mutex Lock;
  TMemoryKey Root;
};

class TMemoryHive final : public TRegistryHive {
public:
  explicit TMemoryHive(std::shared_ptr<TMemoryStore> Store) : FStore(std::move(Store)) {}

  UnicodeString Location() const override { return u"(memory)"; }

  void CreateKey(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    Walk(Path, true);
  }
  bool KeyExists(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    return Walk(Path, false) != nullptr;
  }
  std::optional<TRegValue> ReadValue(std::u16string_view Path, std::u16string_view Name) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    RegistryNames::CheckValueName(Name);
    TMemoryKey* K = Walk(Path, false);
    TRegValue* V = K ? K->Value(RegistryNames::Fold(Name)) : nullptr;
    if (!V)
      return std::nullopt;
    return *V;
  }
  void WriteValue(std::u16string_view Path, const TRegValue& Value) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    RegistryNames::CheckValueName(Value.Name);
    TMemoryKey* K = Walk(Path, true);
    if (TRegValue* V = K->Value(RegistryNames::Fold(Value.Name))) {
      // Case-preserving: the name keeps the spelling it was created with.
      V->Type = Value.Type;
      V->Data = Value.Data;
    } else {
      K->Values.push_back(Value);
    }
  }
  void DeleteValue(std::u16string_view Path, std::u16string_view Name) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    RegistryNames::CheckValueName(Name);
    TMemoryKey* K = Walk(Path, false);
    if (!K)
      return;
    UnicodeString F = RegistryNames::Fold(Name);
    std::erase_if(K->Values, [&](const TRegValue& V) { return RegistryNames::Fold(V.Name) == F; });
  }
  std::vector<UnicodeString> ValueNames(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    std::vector<UnicodeString> R;
    if (TMemoryKey* K = Walk(Path, false))
      for (auto& V : K->Values)
        R.push_back(V.Name);
    return R;
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    std::vector<UnicodeString> R;
    if (TMemoryKey* K = Walk(Path, false))
      for (auto& S : K->SubKeys)
        R.push_back(S->Name);
    return R;
  }
  void DeleteKey(std::u16string_view Path) override {
    std::lock_guard<std::mutex> G(FStore->Lock);
    auto Parts = RegistryNames::SplitKeyPath(Path);
    if (Parts.empty())
      throw ERegistryException(u"Cannot delete the root key HKEY_CURRENT_USER");
    TMemoryKey* Parent = &FStore->Root;
    for (size_t I = 0; I + 1 < Parts.size() && Parent; ++I)
      Parent = Parent->Child(RegistryNames::Fold(Parts[I]));
    if (!Parent)
      return;
    UnicodeString F = RegistryNames::Fold(Parts.back());
    std::erase_if(Parent->SubKeys,
                  [&](const auto& K) { return RegistryNames::Fold(K->Name) == F; });
  }

private:
  TMemoryKey* Walk(std::u16string_view Path, bool Create) {
    TMemoryKey* K = &FStore->Root;
    for (const UnicodeString& Part : RegistryNames::SplitKeyPath(Path)) {
      TMemoryKey* Next = K->Child(RegistryNames::Fold(Part));
      if (!Next) {
        if (!Create)
          return nullptr;
        K->SubKeys.push_back(std::make_unique<TMemoryKey>());
        Next = K->SubKeys.back().get();
        Next->Name = Part;
      }
      K = Next;
    }
    return K;
  }

  std::shared_ptr<TMemoryStore> FStore;
};

std::mutex FactoryLock;
THiveFactory& CurrentFactory() {
  static THiveFactory Factory;
  return Factory;
}

} // namespace

std::unique_ptr<TRegistryHive> NewMemoryHive() {
  return std::make_unique<TMemoryHive>(std::make_shared<TMemoryStore>());
}

void SetCurrentUserHiveFactory(THiveFactory Factory) {
  std::lock_guard<std::mutex> G(FactoryLock);
  CurrentFactory() = std::move(Factory);
}

std::unique_ptr<TRegistryHive> OpenCurrentUserHive() {
  THiveFactory Factory;
  {
    std::lock_guard<std::mutex> G(FactoryLock);
    if (!CurrentFactory()) {
      // Until a hive file is chosen, every handle shares one store in memory.
      auto Store = std::make_shared<TMemoryStore>();
      CurrentFactory() = [Store] { return std::make_unique<TMemoryHive>(Store); };
    }
    Factory = CurrentFactory();
  }
  return Factory();
}
