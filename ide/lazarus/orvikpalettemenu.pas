{ This file was automatically created by Lazarus. Do not edit!
  This source is only used to compile and install the package.
 }

unit OrvikPaletteMenu;

{$warn 5023 off : no warning about unused units}
interface

uses
  LazPaletteMenu, LazPaletteMenuEmbed, LazarusPackageIntf;

implementation

procedure Register;
begin
  RegisterUnit('LazPaletteMenu', @LazPaletteMenu.Register);
end;

initialization
  RegisterPackage('OrvikPaletteMenu', @Register);
end.
