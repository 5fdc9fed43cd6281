// A hive handle that passes every call on to another handle, which it owns or shares. Tests and
// benchmarks derive from it to watch or disturb some calls and leave the rest as they are.
#pragma once

#include "rtl/RegistryHive.h"

#include <memory>
#include <utility>

class TForwardingHive : public TRegistryHive {
public:
  explicit TForwardingHive(std::shared_ptr<TRegistryHive> Inner) : FInner(std::move(Inner)) {}
  explicit TForwardingHive(std::unique_ptr<TRegistryHive> Inner)
      : FInner(std::shared_ptr<TRegistryHive>(std::move(Inner))) {}

  UnicodeString Location() const override { return FInner->Location(); }
  bool ReadOnly() const override { return FInner->ReadOnly(); }
  void CreateKey(std::u16string_view P) override { FInner->CreateKey(P); }
  bool KeyExists(std::u16string_view P) override { return FInner->KeyExists(P); }
  std::optional<TRegValue> ReadValue(std::u16string_view P, std::u16string_view N) override {
    return FInner->ReadValue(P, N);
  }
  bool VisitValue(std::u16string_view P, std::u16string_view N, TValueUse Use) override {
    return FInner->VisitValue(P, N, Use);
  }
  void WriteValue(std::u16string_view P, const TRegValue& V) override { FInner->WriteValue(P, V); }
  void DeleteValue(std::u16string_view P, std::u16string_view N) override {
    FInner->DeleteValue(P, N);
  }
  std::vector<UnicodeString> ValueNames(std::u16string_view P) override {
    return FInner->ValueNames(P);
  }
  std::vector<UnicodeString> SubKeyNames(std::u16string_view P) override {
    return FInner->SubKeyNames(P);
  }
  void DeleteKey(std::u16string_view P) override { FInner->DeleteKey(P); }
  void Apply(const std::vector<TRegChange>& C) override { FInner->Apply(C); }
  void Flush() override { FInner->Flush(); }
  std::vector<TFileIdentity> Files() const override { return FInner->Files(); }
  void ReadSnapshot(const std::function<void()>& Body) override { FInner->ReadSnapshot(Body); }

protected:
  TRegistryHive& Inner() { return *FInner; }

private:
  std::shared_ptr<TRegistryHive> FInner;
};
