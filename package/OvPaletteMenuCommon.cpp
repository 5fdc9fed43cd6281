#include "OvPaletteMenuCommon.h"

#include <typeinfo>

UnicodeString RemoveAmpersand(const UnicodeString& S) {
  UnicodeString Result;
  Result.reserve(S.size());
  for (char16_t C : S)
    if (C != u'&')
      Result.push_back(C);
  return Result;
}

UnicodeString TOvCaptionReader::Read(const TObject* Instance) {
  if (!Instance)
    return GetStrProp(Instance, u"Caption"); // raises, naming the property
  // Looked up again for an object of another class, and once any class's properties changed:
  // the one kept may have gone.
  const std::type_info& Type = typeid(*Instance);
  const std::uint64_t Generation = TClassInfo::PropsGeneration();
  if (!FType || Type != *FType || Generation != FGeneration) {
    FProp = &GetPropInfo(*Instance, u"Caption");
    FType = &Type;
    FGeneration = Generation;
  }
  return GetStrProp(Instance, *FProp);
}
