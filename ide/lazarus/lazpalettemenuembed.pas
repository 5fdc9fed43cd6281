{ The C interface of libOrvikPaletteMenuEmbed.so (ide/embed/OrvikEmbed.h), loaded at run time so
  that the IDE starts without it and says why it is missing. Each call that may run the add-in's
  code runs with the floating-point exceptions masked, as C and C++ code expects. }
unit LazPaletteMenuEmbed;

{$mode objfpc}{$H+}

interface

uses
  Classes, SysUtils, ctypes, DynLibs, Math;

const
  EmbedLibraryName = 'libOrvikPaletteMenuEmbed.so';
  EmbedVersion = 1;

  ItemVisible = 1;
  ItemEnabled = 2;
  ItemLine = 4;

  ToolVisible = 1;
  ToolEnabled = 2;
  ToolDropDown = 4;
  ToolSeparator = 8;
  ToolCheck = 16;
  ToolDown = 32;

  ControlOther = 0;
  ControlButton = 1;
  ControlGrid = 2;

  ButtonDefault = 1;
  ButtonCancel = 2;

type
  TOrvikId = QWord;
  POrvikSession = Pointer;

  TOrvikReport = procedure(Context: Pointer; Message: PChar); cdecl;
  TOrvikShowPage = procedure(Context: Pointer; Index: cint); cdecl;
  TOrvikRunModal = function(Context: Pointer; Form: TOrvikId): cint; cdecl;

  TOrvikHost = record
    Context: Pointer;
    Report: TOrvikReport;
    ShowPage: TOrvikShowPage;
    RunModal: TOrvikRunModal;
  end;

  TIntQuad = array[0..3] of cint;

  { The library's functions, by their C names without the "orvik_" prefix. }
  TOrvikEmbed = class
  private
    FHandle: TLibHandle;
    FFileName: string;
    function Need(const Name: string): Pointer;
  public
    version: function: cint; cdecl;
    open: function(Host: Pointer): POrvikSession; cdecl;
    load_addin: function(S: POrvikSession; Path: PChar): cint; cdecl;
    close: procedure(S: POrvikSession); cdecl;
    set_pages: procedure(S: POrvikSession; Names: PPChar; Count: cint); cdecl;
    main_menu: function(S: POrvikSession): TOrvikId; cdecl;
    item_count: function(S: POrvikSession; Item: TOrvikId): cint; cdecl;
    item_child: function(S: POrvikSession; Item: TOrvikId; Index: cint): TOrvikId; cdecl;
    item_caption: function(S: POrvikSession; Item: TOrvikId): PChar; cdecl;
    item_flags: function(S: POrvikSession; Item: TOrvikId): cint; cdecl;
    item_click: function(S: POrvikSession; Item: TOrvikId): cint; cdecl;
    tool_count: function(S: POrvikSession): cint; cdecl;
    tool_button: function(S: POrvikSession; Index: cint): TOrvikId; cdecl;
    tool_flags: function(S: POrvikSession; Button: TOrvikId): cint; cdecl;
    tool_name: function(S: POrvikSession; Button: TOrvikId): PChar; cdecl;
    tool_hint: function(S: POrvikSession; Button: TOrvikId): PChar; cdecl;
    tool_image: function(S: POrvikSession; Button: TOrvikId; Pixels: PLongWord;
      Capacity: cint; Width, Height: pcint): cint; cdecl;
    tool_menu: function(S: POrvikSession; Button: TOrvikId): TOrvikId; cdecl;
    tool_click: function(S: POrvikSession; Button: TOrvikId): Int64; cdecl;
    menu_popup: function(S: POrvikSession; Menu: TOrvikId): cint; cdecl;
    menu_closed: procedure(S: POrvikSession; Menu: TOrvikId); cdecl;
    form_caption: function(S: POrvikSession; Form: TOrvikId): PChar; cdecl;
    form_centred: function(S: POrvikSession; Form: TOrvikId): cint; cdecl;
    form_modal_result: function(S: POrvikSession; Form: TOrvikId): cint; cdecl;
    control_count: function(S: POrvikSession; Parent: TOrvikId): cint; cdecl;
    control: function(S: POrvikSession; Parent: TOrvikId; Index: cint): TOrvikId; cdecl;
    control_kind: function(S: POrvikSession; Control: TOrvikId): cint; cdecl;
    control_bounds: function(S: POrvikSession; Control: TOrvikId; var Bounds: TIntQuad): cint; cdecl;
    control_name: function(S: POrvikSession; Control: TOrvikId): PChar; cdecl;
    control_caption: function(S: POrvikSession; Control: TOrvikId): PChar; cdecl;
    button_flags: function(S: POrvikSession; Button: TOrvikId): cint; cdecl;
    button_press: function(S: POrvikSession; Button: TOrvikId): cint; cdecl;
    grid_size: function(S: POrvikSession; Grid: TOrvikId; var Size: TIntQuad): cint; cdecl;
    grid_col_width: function(S: POrvikSession; Grid: TOrvikId; Col: cint): cint; cdecl;
    grid_row_height: function(S: POrvikSession; Grid: TOrvikId; Row: cint): cint; cdecl;
    grid_cell: function(S: POrvikSession; Grid: TOrvikId; Col, Row: cint): PChar; cdecl;
    grid_current: function(S: POrvikSession; Grid: TOrvikId; Col, Row: pcint): cint; cdecl;
    grid_select: function(S: POrvikSession; Grid: TOrvikId; Col, Row: cint): cint; cdecl;
    grid_can_edit: function(S: POrvikSession; Grid: TOrvikId): cint; cdecl;
    grid_edit: function(S: POrvikSession; Grid: TOrvikId; Text: PChar): cint; cdecl;

    { Loads the library; EOrvikEmbed says which file could not be loaded and why. }
    constructor Create(const FileName: string);
    destructor Destroy; override;
    property FileName: string read FFileName;
  end;

  EOrvikEmbed = class(Exception);

  { Masks the floating-point exceptions while it lives (a C call runs), then restores them. }
  TFloatMask = record
    Saved: TFPUExceptionMask;
  end;

function MaskFloats: TFloatMask;
procedure RestoreFloats(const Mask: TFloatMask);
{ A string answered by the library, copied. }
function Str(P: PChar): string;

implementation

function MaskFloats: TFloatMask;
begin
  Result.Saved := SetExceptionMask([exInvalidOp, exDenormalized, exZeroDivide, exOverflow,
    exUnderflow, exPrecision]);
end;

procedure RestoreFloats(const Mask: TFloatMask);
begin
  SetExceptionMask(Mask.Saved);
end;

function Str(P: PChar): string;
begin
  if P = nil then
    Result := ''
  else
    Result := StrPas(P);
end;

function TOrvikEmbed.Need(const Name: string): Pointer;
begin
  Result := GetProcedureAddress(FHandle, 'orvik_' + Name);
  if Result = nil then
    raise EOrvikEmbed.CreateFmt('%s has no function orvik_%s: it is of another version than ' +
      'this package; build both from one tree.', [FFileName, Name]);
end;

constructor TOrvikEmbed.Create(const FileName: string);
var
  Mask: TFloatMask;
begin
  inherited Create;
  FFileName := FileName;
  Mask := MaskFloats;
  try
    FHandle := LoadLibrary(FileName);
  finally
    RestoreFloats(Mask);
  end;
  if FHandle = NilHandle then
    raise EOrvikEmbed.CreateFmt('%s cannot be loaded: %s', [FileName, GetLoadErrorStr]);
  Pointer(version) := Need('version');
  if version() <> EmbedVersion then
    raise EOrvikEmbed.CreateFmt('%s offers version %d of its interface; this package needs %d.',
      [FileName, version(), EmbedVersion]);
  Pointer(open) := Need('open');
  Pointer(load_addin) := Need('load_addin');
  Pointer(close) := Need('close');
  Pointer(set_pages) := Need('set_pages');
  Pointer(main_menu) := Need('main_menu');
  Pointer(item_count) := Need('item_count');
  Pointer(item_child) := Need('item_child');
  Pointer(item_caption) := Need('item_caption');
  Pointer(item_flags) := Need('item_flags');
  Pointer(item_click) := Need('item_click');
  Pointer(tool_count) := Need('tool_count');
  Pointer(tool_button) := Need('tool_button');
  Pointer(tool_flags) := Need('tool_flags');
  Pointer(tool_name) := Need('tool_name');
  Pointer(tool_hint) := Need('tool_hint');
  Pointer(tool_image) := Need('tool_image');
  Pointer(tool_menu) := Need('tool_menu');
  Pointer(tool_click) := Need('tool_click');
  Pointer(menu_popup) := Need('menu_popup');
  Pointer(menu_closed) := Need('menu_closed');
  Pointer(form_caption) := Need('form_caption');
  Pointer(form_centred) := Need('form_centred');
  Pointer(form_modal_result) := Need('form_modal_result');
  Pointer(control_count) := Need('control_count');
  Pointer(control) := Need('control');
  Pointer(control_kind) := Need('control_kind');
  Pointer(control_bounds) := Need('control_bounds');
  Pointer(control_name) := Need('control_name');
  Pointer(control_caption) := Need('control_caption');
  Pointer(button_flags) := Need('button_flags');
  Pointer(button_press) := Need('button_press');
  Pointer(grid_size) := Need('grid_size');
  Pointer(grid_col_width) := Need('grid_col_width');
  Pointer(grid_row_height) := Need('grid_row_height');
  Pointer(grid_cell) := Need('grid_cell');
  Pointer(grid_current) := Need('grid_current');
  Pointer(grid_select) := Need('grid_select');
  Pointer(grid_can_edit) := Need('grid_can_edit');
  Pointer(grid_edit) := Need('grid_edit');
end;

destructor TOrvikEmbed.Destroy;
begin
  { The library stays loaded: the add-in's code may still be on the way out of a call, and
    the IDE is closing when this runs. }
  inherited Destroy;
end;

end.
