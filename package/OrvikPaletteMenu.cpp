// The package unit: what the IDE reads before it loads the package's code. The package is
// design-time only, requires the IDE's designide170 and vcl170 packages, and contains the four
// units below; Register of unit OvPaletteMenu is called once after loading.
#include "OvPaletteMenu.h"

#include "rtl/PackageInfo.h"

namespace {

const char16_t* const Requires[] = {u"designide170", u"vcl170"};

const TPackageUnitInfo Contains[] = {
    {u"OrvikPaletteMenu", nullptr},
    {u"OvPaletteMenuCommon", nullptr},
    {u"OvPaletteMenuCategoriesForm", nullptr},
    {u"OvPaletteMenu", &Register},
};

const TPackageInfo Info{
    PackageInfoFormatVersion,
    u"OrvikPaletteMenu",
    u"Orvik Palette Menu 3.2",
    pfDesignOnly | pfNeverBuild,
    Requires,
    Contains,
    {0x0409, 1252, u"3.2.0.0", u"3.2.0.0", u"Orvik Palette Menu Expert",
     u"Orvik Palette Menu Expert"},
};

} // namespace

extern "C" const TPackageInfo* GetPackageInfoTable() {
  return &Info;
}
