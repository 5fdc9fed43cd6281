{ The Lazarus IDE plays the IDE for the Orvik Palette Menu add-in. The IDE model and the add-in
  run in libOrvikPaletteMenuEmbed.so (see LazPaletteMenuEmbed); this unit mirrors the model in
  the LCL:
  - each entry the add-in puts in the model's main menu ("P&alette") is an entry of the IDE's
    main menu; opening it lets the add-in rebuild it, then its items are built again from the
    model's;
  - the model's tool bar is a tool bar at the left end of the Component Palette, with the
    add-in's drop-down button and its glyph; the button's menu is built from the model's at
    every drop-down;
  - the Component Palette's pages are the model's palette, read as the IDE shows them each
    time a menu opens; the page the add-in moves to becomes the active page;
  - a form the add-in shows modally (the categories dialog) is an LCL form with a string grid
    and buttons, each where the model's form has them; keys and buttons go to the model.
  A failure is shown once in the IDE's Messages window, and the IDE goes on. }
unit LazPaletteMenu;

{$mode objfpc}{$H+}

interface

uses
  Classes, SysUtils, Types, Math, Controls, Forms, Menus, ComCtrls, Grids, StdCtrls,
  Graphics, LCLType, LCLProc, ctypes, MenuIntf, LazIDEIntf, IDEMsgIntf, IDEExternToolIntf,
  LazPaletteMenuEmbed;

const
  { Names the file of the embedding library (then nowhere else is looked). }
  LibraryVariable = 'ORVIK_PALETTE_MENU_LIBRARY';
  { A file in the IDE's primary configuration folder that holds that file's path. }
  LibraryPathFile = 'orvik-palette-menu.path';
  InstalledLibrary = '/usr/lib/x86_64-linux-gnu/orvik-palette-menu/' + EmbedLibraryName;
  ProductName = 'Orvik Palette Menu';
  PageControlName = 'ComponentPageControl';

type

  { TLazPaletteMenu }

  TLazPaletteMenu = class(TComponent)
  private
    FEmbed: TOrvikEmbed;
    FSession: POrvikSession;
    FHost: TOrvikHost;
    FPages: TStringList;             // the page names last given to the model
    FEntries: TFPList;               // the IDE menu sections of the model's main-menu entries
    FToolBar: TToolBar;
    FImages: TImageList;
    FOpenedByModel: Boolean;         // a drop-down the model asked for: not to be asked again
    FNameCount: Integer;
    FShown: TStringList;             // messages already shown
    // The dialog that runs, while it runs.
    FDialog: TForm;
    FGrid: TStringGrid;
    FGridId: TOrvikId;
    FDialogButtons: TFPList;
    FFilling: Boolean;
    function S: POrvikSession;
    function LibraryFile: string;
    function NewName: string;
    procedure Start(Data: PtrInt);
    procedure IdeClosing(Sender: TObject);
    procedure Report(const Msg: string);
    // The palette.
    function PageControl: TPageControl;
    procedure SyncPages;
    procedure ShowPage(Index: Integer);
    // The main menu.
    procedure BuildEntries;
    function EntryCaption(const ModelCaption: string): string;
    procedure FillSection(Section: TIDEMenuSection; Item: TOrvikId);
    procedure EntryClick(Sender: TObject);
    // The tool bar and its drop-down menus.
    procedure BuildToolBar;
    function Glyph(Button: TOrvikId): Integer;
    procedure ToolClick(Sender: TObject);
    procedure PopupOpen(Sender: TObject);
    procedure PopupClose(Sender: TObject);
    procedure PopupItemClick(Sender: TObject);
    procedure FillMenu(Parent: TMenuItem; Item: TOrvikId);
    // Modal forms.
    function RunModal(Form: TOrvikId): Integer;
    function DialogButton(ForCancel: Boolean): TButton;
    procedure PressButton(Button: TButton);
    procedure DialogButtonClick(Sender: TObject);
    procedure DialogKeyDown(Sender: TObject; var Key: Word; Shift: TShiftState);
    procedure DialogCloseQuery(Sender: TObject; var CanClose: Boolean);
    procedure GridSelectCell(Sender: TObject; aCol, aRow: Integer; var CanSelect: Boolean);
    procedure GridValidateEntry(Sender: TObject; aCol, aRow: Integer;
      const OldValue: string; var NewValue: string);
    procedure PushCell;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
  end;

procedure Register;

implementation

var
  PaletteMenu: TLazPaletteMenu = nil;

{ The library's calls back into the IDE. Nothing of the IDE's may escape into C++. }

procedure HostReport(Context: Pointer; Message: PChar); cdecl;
begin
  try
    TLazPaletteMenu(Context).Report(Str(Message));
  except
    on E: Exception do
      DebugLn(['Orvik Palette Menu: ', E.Message]);
  end;
end;

procedure HostShowPage(Context: Pointer; Index: cint); cdecl;
begin
  try
    TLazPaletteMenu(Context).ShowPage(Index);
  except
    on E: Exception do
      TLazPaletteMenu(Context).Report(E.Message);
  end;
end;

function HostRunModal(Context: Pointer; Form: TOrvikId): cint; cdecl;
begin
  try
    Result := TLazPaletteMenu(Context).RunModal(Form);
  except
    on E: Exception do begin
      TLazPaletteMenu(Context).Report(E.Message);
      Result := mrCancel;
    end;
  end;
end;

{ TLazPaletteMenu }

constructor TLazPaletteMenu.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FPages := TStringList.Create;
  FEntries := TFPList.Create;
  FShown := TStringList.Create;
  FShown.Sorted := True;
  FDialogButtons := TFPList.Create;
  FHost.Context := Self;
  FHost.Report := @HostReport;
  FHost.ShowPage := @HostShowPage;
  FHost.RunModal := @HostRunModal;
end;

destructor TLazPaletteMenu.Destroy;
begin
  IdeClosing(nil);
  FreeAndNil(FPages);
  FreeAndNil(FEntries);
  FreeAndNil(FShown);
  FreeAndNil(FDialogButtons);
  inherited Destroy;
end;

function TLazPaletteMenu.S: POrvikSession;
begin
  Result := FSession;
end;

function TLazPaletteMenu.NewName: string;
begin
  Inc(FNameCount);
  Result := 'OrvikPaletteMenu' + IntToStr(FNameCount);
end;

procedure TLazPaletteMenu.Report(const Msg: string);
begin
  if FShown.IndexOf(Msg) >= 0 then
    Exit;
  FShown.Add(Msg);
  DebugLn([ProductName, ': ', Msg]);
  if IDEMessagesWindow <> nil then begin
    AddIDEMessage(mluError, Msg, '', 0, 0, ProductName);
    if LazarusIDE <> nil then
      LazarusIDE.DoShowMessagesView(False);
  end;
end;

function TLazPaletteMenu.LibraryFile: string;
var
  Lines: TStringList;
  PathFile: string;
begin
  Result := GetEnvironmentVariable(LibraryVariable);
  if Result <> '' then
    Exit;
  if LazarusIDE <> nil then begin
    PathFile := IncludeTrailingPathDelimiter(LazarusIDE.GetPrimaryConfigPath) + LibraryPathFile;
    if FileExists(PathFile) then begin
      Lines := TStringList.Create;
      try
        Lines.LoadFromFile(PathFile);
        if Lines.Count > 0 then
          Result := Trim(Lines[0]);
      finally
        Lines.Free;
      end;
      if Result <> '' then
        Exit;
    end;
  end;
  Result := InstalledLibrary;
end;

procedure TLazPaletteMenu.Start(Data: PtrInt);
var
  Mask: TFloatMask;
  AddInLoaded: Boolean;
  FileName: string;
begin
  FileName := LibraryFile;
  try
    FEmbed := TOrvikEmbed.Create(FileName);
  except
    on E: Exception do begin
      Report(Format('The %s is not available: %s. Set %s to the library''s file, or put its ' +
        'path in %s in the IDE''s configuration folder.',
        [ProductName, E.Message, LibraryVariable, LibraryPathFile]));
      Exit;
    end;
  end;
  Mask := MaskFloats;
  try
    FSession := FEmbed.open(@FHost);
    if FSession = nil then
      Exit;
    SyncPages;
    AddInLoaded := FEmbed.load_addin(FSession, nil) = 1;
  finally
    RestoreFloats(Mask);
  end;
  if AddInLoaded then begin
    BuildEntries;
    BuildToolBar;
  end;
end;

procedure TLazPaletteMenu.IdeClosing(Sender: TObject);
var
  Mask: TFloatMask;
begin
  if FSession <> nil then begin
    Mask := MaskFloats;
    try
      FEmbed.close(FSession);
    finally
      RestoreFloats(Mask);
    end;
    FSession := nil;
  end;
  FreeAndNil(FToolBar);
  FreeAndNil(FEmbed);
end;

{ --- the palette --- }

function TLazPaletteMenu.PageControl: TPageControl;

  function Search(Control: TWinControl): TPageControl;
  var
    I: Integer;
  begin
    Result := nil;
    for I := 0 to Control.ControlCount - 1 do begin
      if (Control.Controls[I] is TPageControl)
      and (CompareText(Control.Controls[I].Name, PageControlName) = 0) then
        Exit(TPageControl(Control.Controls[I]));
      if Control.Controls[I] is TWinControl then begin
        Result := Search(TWinControl(Control.Controls[I]));
        if Result <> nil then
          Exit;
      end;
    end;
  end;

var
  Found: TComponent;
begin
  Result := nil;
  if Application.MainForm = nil then
    Exit;
  Found := Application.MainForm.FindComponent(PageControlName);
  if Found is TPageControl then
    Exit(TPageControl(Found));
  Result := Search(Application.MainForm);
end;

procedure TLazPaletteMenu.SyncPages;
var
  Pages: TPageControl;
  Names: array of PChar;
  I: Integer;
begin
  if FSession = nil then
    Exit;
  FPages.Clear;
  Pages := PageControl;
  if Pages = nil then
    Report(Format('The Component Palette (%s of the main window) was not found: the %s ' +
      'lists no pages.', [PageControlName, ProductName]))
  else
    for I := 0 to Pages.PageCount - 1 do
      if Pages.Pages[I].TabVisible then
        FPages.Add(Pages.Pages[I].Caption);
  SetLength(Names, FPages.Count + 1);
  for I := 0 to FPages.Count - 1 do
    Names[I] := PChar(FPages[I]);
  Names[FPages.Count] := nil;
  FEmbed.set_pages(FSession, @Names[0], FPages.Count);
end;

procedure TLazPaletteMenu.ShowPage(Index: Integer);
var
  Pages: TPageControl;
  I: Integer;
begin
  if (Index < 0) or (Index >= FPages.Count) then
    Exit;
  // Looked up by name now: the IDE may have rebuilt its pages since they were read.
  Pages := PageControl;
  if Pages <> nil then
    for I := 0 to Pages.PageCount - 1 do
      if Pages.Pages[I].TabVisible and (Pages.Pages[I].Caption = FPages[Index]) then begin
        Pages.ActivePage := Pages.Pages[I];
        // As a click on its tab: the palette fills a page when it is changed to.
        if Assigned(Pages.OnChange) then
          Pages.OnChange(Pages);
        Exit;
      end;
  Report(Format('The Component Palette has no page "%s" any more.', [FPages[Index]]));
end;

{ --- the main menu --- }

function HotKeyOf(const Caption: string): Char;
var
  I: Integer;
begin
  Result := #0;
  I := 1;
  while I < Length(Caption) do begin
    if Caption[I] = '&' then begin
      if Caption[I + 1] <> '&' then
        Exit(LowerCase(Caption[I + 1]));
      Inc(I);
    end;
    Inc(I);
  end;
end;

function TLazPaletteMenu.EntryCaption(const ModelCaption: string): string;
var
  Taken: set of Char;
  I: Integer;
  Key: Char;
  Plain: string;
begin
  // The keys of the IDE's own entries.
  Taken := [];
  for I := 0 to mnuMain.Count - 1 do
    if FEntries.IndexOf(mnuMain.Items[I]) < 0 then
      Include(Taken, HotKeyOf(mnuMain.Items[I].Caption));
  Key := HotKeyOf(ModelCaption);
  if (Key = #0) or not (Key in Taken) then
    Exit(ModelCaption);
  // Taken: the first letter of the caption that the IDE leaves free gets the mark.
  Plain := StringReplace(StringReplace(ModelCaption, '&&', #1, [rfReplaceAll]), '&', '',
    [rfReplaceAll]);
  for I := 1 to Length(Plain) do
    if (Plain[I] in ['A'..'Z', 'a'..'z', '0'..'9']) and not (LowerCase(Plain[I]) in Taken) then begin
      Insert('&', Plain, I);
      Break;
    end;
  Result := StringReplace(Plain, #1, '&&', [rfReplaceAll]);
end;

procedure TLazPaletteMenu.BuildEntries;
var
  Root, Item: TOrvikId;
  I: Integer;
  Section: TIDEMenuSection;
begin
  Root := FEmbed.main_menu(S);
  for I := 0 to FEmbed.item_count(S, Root) - 1 do begin
    Item := FEmbed.item_child(S, Root, I);
    Section := RegisterIDESubMenu(mnuMain, NewName,
      EntryCaption(Str(FEmbed.item_caption(S, Item))), @EntryClick);
    Section.UserTag := PtrUInt(Item);
    FEntries.Add(Section);
    FillSection(Section, Item);
  end;
end;

procedure TLazPaletteMenu.FillSection(Section: TIDEMenuSection; Item: TOrvikId);
var
  I, Kept, OldCount, Flags: Integer;
  Child: TOrvikId;
  Caption: string;
  Made: TIDEMenuItem;
  Shown, Sub: Boolean;
  Old: TFPList;
begin
  // Items of the kind needed are used again in place, so that a menu open on the screen (its
  // opening rebuilds it) keeps the item the keyboard has selected; the others are made anew,
  // and those left over go last: a sub-menu left without items for a moment loses its window,
  // which the toolkit may be about to show.
  OldCount := Section.Count;
  Old := TFPList.Create;
  try
    Kept := 0;
    Shown := False;
    for I := 0 to FEmbed.item_count(S, Item) - 1 do begin
      Child := FEmbed.item_child(S, Item, I);
      Flags := FEmbed.item_flags(S, Child);
      Caption := Str(FEmbed.item_caption(S, Child));
      Sub := FEmbed.item_count(S, Child) > 0;
      if (Kept = I) and (I < OldCount) and ((Section.Items[I] is TIDEMenuSection) = Sub) then begin
        Made := Section.Items[I];
        Made.Caption := Caption;
        Inc(Kept);
      end else if Sub then
        Made := RegisterIDESubMenu(Section, NewName, Caption, @EntryClick)
      else
        Made := RegisterIDEMenuCommand(Section, NewName, Caption, @EntryClick);
      if Sub then
        FillSection(TIDEMenuSection(Made), Child);
      Made.UserTag := PtrUInt(Child);
      Made.Visible := Flags and ItemVisible <> 0;
      Made.Enabled := Flags and ItemEnabled <> 0;
      Shown := Shown or Made.Visible;
    end;
    // The IDE hides a sub-menu without a visible item; the model's entry shows before its
    // first opening only its hidden placeholder. A disabled item stands in until it opens.
    if not Shown then begin
      if (Kept < OldCount) and not (Section.Items[Kept] is TIDEMenuSection) and
        (Section.Items[Kept].Caption = '...') then
        Inc(Kept)
      else
        RegisterIDEMenuCommand(Section, NewName, '...').Enabled := False;
    end;
    for I := Kept to OldCount - 1 do
      Old.Add(Section.Items[I]);
    for I := 0 to Old.Count - 1 do
      TIDEMenuItem(Old[I]).Free;
  finally
    Old.Free;
  end;
end;

procedure TLazPaletteMenu.EntryClick(Sender: TObject);
var
  Item: TIDEMenuItem;
  Mask: TFloatMask;
begin
  if (FSession = nil) or not (Sender is TIDEMenuItem) then
    Exit;
  Item := TIDEMenuItem(Sender);
  Mask := MaskFloats;
  try
    if FEntries.IndexOf(Item) >= 0 then begin
      // A main-menu entry opens: the model rebuilds it from the pages as they are now.
      SyncPages;
      if FEmbed.item_click(S, TOrvikId(Item.UserTag)) >= 0 then
        FillSection(TIDEMenuSection(Item), TOrvikId(Item.UserTag));
    end else
      FEmbed.item_click(S, TOrvikId(Item.UserTag));
  finally
    RestoreFloats(Mask);
  end;
end;

{ --- the tool bar --- }

function TLazPaletteMenu.Glyph(Button: TOrvikId): Integer;
var
  W, H, X, Y: cint;
  Pixels: array of LongWord;
  Picture: TBitmap;
  P: LongWord;
begin
  Result := -1;
  if FEmbed.tool_image(S, Button, nil, 0, @W, @H) = 0 then
    Exit;
  SetLength(Pixels, W * H);
  FEmbed.tool_image(S, Button, @Pixels[0], W * H, @W, @H);
  Picture := TBitmap.Create;
  try
    Picture.SetSize(W, H);
    for Y := 0 to H - 1 do
      for X := 0 to W - 1 do begin
        P := Pixels[Y * W + X];
        if P shr 24 = 0 then
          Picture.Canvas.Pixels[X, Y] := clFuchsia
        else
          Picture.Canvas.Pixels[X, Y] := RGBToColor((P shr 16) and $FF, (P shr 8) and $FF, P and $FF);
      end;
    Result := FImages.AddMasked(Picture, clFuchsia);
  finally
    Picture.Free;
  end;
end;

procedure TLazPaletteMenu.BuildToolBar;
var
  Pages: TPageControl;
  I, Flags: Integer;
  Id: TOrvikId;
  Button: TToolButton;
  Menu: TPopupMenu;
begin
  Pages := PageControl;
  if Pages = nil then
    Exit; // said by SyncPages
  FreeAndNil(FToolBar);
  FImages.Free;
  FImages := TImageList.Create(Self);
  FImages.Width := 16;
  FImages.Height := 16;
  FToolBar := TToolBar.Create(Self);
  FToolBar.Name := 'Toolbar1';
  FToolBar.Caption := '';
  FToolBar.EdgeBorders := [];
  FToolBar.ShowCaptions := False;
  FToolBar.Images := FImages;
  FToolBar.ShowHint := True;
  FToolBar.AutoSize := True;
  // At the left end of the palette.
  FToolBar.Align := alLeft;
  FToolBar.Left := Max(Pages.Left - 1, 0);
  FToolBar.Parent := Pages.Parent;
  for I := 0 to FEmbed.tool_count(S) - 1 do begin
    Id := FEmbed.tool_button(S, I);
    Flags := FEmbed.tool_flags(S, Id);
    Button := TToolButton.Create(FToolBar);
    Button.Name := Str(FEmbed.tool_name(S, Id));
    Button.Left := 100 * (I + 1);
    Button.Parent := FToolBar;
    Button.Tag := PtrInt(Id);
    Button.Hint := Str(FEmbed.tool_hint(S, Id));
    Button.ImageIndex := Glyph(Id);
    Button.Visible := Flags and ToolVisible <> 0;
    Button.Enabled := Flags and ToolEnabled <> 0;
    if Flags and ToolSeparator <> 0 then
      Button.Style := tbsSeparator
    else if Flags and ToolCheck <> 0 then begin
      Button.Style := tbsCheck;
      Button.Down := Flags and ToolDown <> 0;
    end else if Flags and ToolDropDown <> 0 then begin
      Button.Style := tbsDropDown;
      Menu := TPopupMenu.Create(FToolBar);
      Menu.Tag := PtrInt(FEmbed.tool_menu(S, Id));
      Menu.OnPopup := @PopupOpen;
      Menu.OnClose := @PopupClose;
      Button.DropdownMenu := Menu;
    end;
    Button.OnClick := @ToolClick;
  end;
end;

procedure TLazPaletteMenu.ToolClick(Sender: TObject);
var
  Button: TToolButton;
  Mask: TFloatMask;
  Dropped: Int64;
  At: TPoint;
begin
  if FSession = nil then
    Exit;
  Button := Sender as TToolButton;
  Mask := MaskFloats;
  try
    SyncPages;
    Dropped := FEmbed.tool_click(S, TOrvikId(Button.Tag));
  finally
    RestoreFloats(Mask);
  end;
  // The model dropped the button's menu down: shown below the button, already built.
  if (Dropped > 0) and (Button.DropdownMenu <> nil) then begin
    FOpenedByModel := True;
    At := Button.ClientToScreen(Point(0, Button.Height));
    Button.DropdownMenu.PopUp(At.X, At.Y);
  end;
end;

procedure TLazPaletteMenu.PopupOpen(Sender: TObject);
var
  Menu: TPopupMenu;
  Mask: TFloatMask;
begin
  Menu := Sender as TPopupMenu;
  if FSession = nil then
    Exit;
  Mask := MaskFloats;
  try
    if not FOpenedByModel then begin
      SyncPages;
      FEmbed.menu_popup(S, TOrvikId(Menu.Tag));
    end;
    FOpenedByModel := False;
    FillMenu(Menu.Items, TOrvikId(Menu.Tag));
  finally
    RestoreFloats(Mask);
  end;
end;

procedure TLazPaletteMenu.PopupClose(Sender: TObject);
begin
  if FSession <> nil then
    FEmbed.menu_closed(S, TOrvikId((Sender as TPopupMenu).Tag));
end;

procedure TLazPaletteMenu.FillMenu(Parent: TMenuItem; Item: TOrvikId);
var
  I, Flags: Integer;
  Child: TOrvikId;
  Made: TMenuItem;
begin
  Parent.Clear;
  for I := 0 to FEmbed.item_count(S, Item) - 1 do begin
    Child := FEmbed.item_child(S, Item, I);
    Flags := FEmbed.item_flags(S, Child);
    Made := TMenuItem.Create(Parent);
    Made.Caption := Str(FEmbed.item_caption(S, Child));
    Made.Tag := PtrInt(Child);
    Made.Visible := Flags and ItemVisible <> 0;
    Made.Enabled := Flags and ItemEnabled <> 0;
    Made.OnClick := @PopupItemClick;
    Parent.Add(Made);
    if FEmbed.item_count(S, Child) > 0 then
      FillMenu(Made, Child);
  end;
end;

procedure TLazPaletteMenu.PopupItemClick(Sender: TObject);
var
  Mask: TFloatMask;
begin
  if FSession = nil then
    Exit;
  Mask := MaskFloats;
  try
    FEmbed.item_click(S, TOrvikId((Sender as TMenuItem).Tag));
  finally
    RestoreFloats(Mask);
  end;
end;

{ --- modal forms --- }

function TLazPaletteMenu.RunModal(Form: TOrvikId): Integer;
var
  Bounds: TIntQuad;
  Size: TIntQuad;
  I, C, R, Kind, Col, Row: Integer;
  Id: TOrvikId;
  Button: TButton;
begin
  Result := mrCancel;
  if FDialog <> nil then
    raise Exception.Create('A dialog of the ' + ProductName + ' is open already.');
  FDialog := TForm.CreateNew(nil);
  try
    FDialog.Name := Str(FEmbed.control_name(S, Form));
    FDialog.Caption := Str(FEmbed.form_caption(S, Form));
    FDialog.BorderStyle := bsDialog;
    FEmbed.control_bounds(S, Form, Bounds);
    FDialog.ClientWidth := Bounds[2];
    FDialog.ClientHeight := Bounds[3];
    if FEmbed.form_centred(S, Form) <> 0 then
      FDialog.Position := poScreenCenter
    else begin
      FDialog.Position := poDesigned;
      FDialog.Left := Bounds[0];
      FDialog.Top := Bounds[1];
    end;
    FDialog.KeyPreview := True;
    FDialog.OnKeyDown := @DialogKeyDown;
    FDialog.OnCloseQuery := @DialogCloseQuery;
    FDialogButtons.Clear;
    FFilling := True;
    for I := 0 to FEmbed.control_count(S, Form) - 1 do begin
      Id := FEmbed.control(S, Form, I);
      Kind := FEmbed.control_kind(S, Id);
      FEmbed.control_bounds(S, Id, Bounds);
      if Kind = ControlGrid then begin
        FGrid := TStringGrid.Create(FDialog);
        FGridId := Id;
        FGrid.Name := Str(FEmbed.control_name(S, Id));
        FGrid.SetBounds(Bounds[0], Bounds[1], Bounds[2], Bounds[3]);
        FGrid.Parent := FDialog;
        FEmbed.grid_size(S, Id, Size);
        FGrid.ColCount := Size[0];
        FGrid.RowCount := Size[1];
        FGrid.FixedCols := Size[2];
        FGrid.FixedRows := Size[3];
        FGrid.Options := [goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goEditing,
          goThumbTracking];
        for C := 0 to Size[0] - 1 do
          FGrid.ColWidths[C] := FEmbed.grid_col_width(S, Id, C);
        for R := 0 to Size[1] - 1 do begin
          FGrid.RowHeights[R] := FEmbed.grid_row_height(S, Id, R);
          for C := 0 to Size[0] - 1 do
            FGrid.Cells[C, R] := Str(FEmbed.grid_cell(S, Id, C, R));
        end;
        if FEmbed.grid_current(S, Id, @Col, @Row) <> 0 then begin
          FGrid.Col := Col;
          FGrid.Row := Row;
        end;
        FGrid.OnSelectCell := @GridSelectCell;
        FGrid.OnValidateEntry := @GridValidateEntry;
        FDialog.ActiveControl := FGrid;
      end else if Kind = ControlButton then begin
        Button := TButton.Create(FDialog);
        Button.Name := Str(FEmbed.control_name(S, Id));
        Button.Caption := Str(FEmbed.control_caption(S, Id));
        Button.SetBounds(Bounds[0], Bounds[1], Bounds[2], Bounds[3]);
        Button.Parent := FDialog;
        Button.Tag := PtrInt(Id);
        Button.OnClick := @DialogButtonClick;
        FDialogButtons.Add(Button);
      end else
        Report(Format('The form %s has a control that cannot be shown: %s. The dialog opens ' +
          'without it.', [FDialog.Name, Str(FEmbed.control_name(S, Id))]));
    end;
    FFilling := False;
    Result := FDialog.ShowModal;
  finally
    FFilling := False;
    FGrid := nil;
    FGridId := 0;
    FDialogButtons.Clear;
    FreeAndNil(FDialog);
  end;
end;

function TLazPaletteMenu.DialogButton(ForCancel: Boolean): TButton;
var
  I, Flags, Wanted: Integer;
begin
  // The button the form marks for the key, else the one that gives the key's result.
  Result := nil;
  if ForCancel then Wanted := ButtonCancel else Wanted := ButtonDefault;
  for I := 0 to FDialogButtons.Count - 1 do begin
    Flags := FEmbed.button_flags(S, TOrvikId(TButton(FDialogButtons[I]).Tag));
    if Flags and Wanted <> 0 then
      Exit(TButton(FDialogButtons[I]));
    if (Result = nil) and (ForCancel and (Flags shr 8 = mrCancel)
      or not ForCancel and (Flags shr 8 = mrOk)) then
      Result := TButton(FDialogButtons[I]);
  end;
end;

procedure TLazPaletteMenu.PushCell;
var
  Col, Row: cint;
  Text: string;
begin
  // What the grid's cell holds reaches the model's current cell.
  if (FGrid = nil) or (FEmbed.grid_current(S, FGridId, @Col, @Row) = 0) then
    Exit;
  if (Col >= FGrid.ColCount) or (Row >= FGrid.RowCount) then
    Exit;
  Text := FGrid.Cells[Col, Row];
  if Text <> Str(FEmbed.grid_cell(S, FGridId, Col, Row)) then
    FEmbed.grid_edit(S, FGridId, PChar(Text));
end;

procedure TLazPaletteMenu.PressButton(Button: TButton);
var
  Flags, Outcome: Integer;
  Mask: TFloatMask;
begin
  if Button = nil then
    Exit;
  Flags := FEmbed.button_flags(S, TOrvikId(Button.Tag));
  Mask := MaskFloats;
  try
    // The cell being edited is kept for any button but the one that cancels.
    if (Flags and ButtonCancel = 0) and (Flags shr 8 <> mrCancel) and (FGrid <> nil) then begin
      if FGrid.EditorMode then
        FGrid.EditorMode := False;
      PushCell;
    end;
    Outcome := FEmbed.button_press(S, TOrvikId(Button.Tag));
  finally
    RestoreFloats(Mask);
  end;
  if Outcome > 0 then
    FDialog.ModalResult := Outcome
  else if Outcome < 0 then
    FDialog.ModalResult := mrCancel; // said by the report; the dialog does not stay stuck
end;

procedure TLazPaletteMenu.DialogButtonClick(Sender: TObject);
begin
  PressButton(Sender as TButton);
end;

procedure TLazPaletteMenu.DialogKeyDown(Sender: TObject; var Key: Word; Shift: TShiftState);
begin
  if (FGrid <> nil) and FGrid.EditorMode then
    Exit; // Enter keeps the cell, Escape drops it: the grid's own keys
  if (Key = VK_RETURN) and (Shift = []) and not (FDialog.ActiveControl is TButton) then begin
    Key := 0;
    PressButton(DialogButton(False));
  end else if (Key = VK_ESCAPE) and (Shift = []) then begin
    Key := 0;
    PressButton(DialogButton(True));
  end;
end;

procedure TLazPaletteMenu.DialogCloseQuery(Sender: TObject; var CanClose: Boolean);
begin
  // Closed by its window's close box: as Cancel.
  if FDialog.ModalResult = mrNone then
    PressButton(DialogButton(True));
  if FDialog.ModalResult = mrNone then
    FDialog.ModalResult := mrCancel;
  CanClose := True;
end;

procedure TLazPaletteMenu.GridSelectCell(Sender: TObject; aCol, aRow: Integer;
  var CanSelect: Boolean);
begin
  if FFilling or (FGrid = nil) then
    Exit;
  PushCell;
  CanSelect := FEmbed.grid_select(S, FGridId, aCol, aRow) = 1;
end;

procedure TLazPaletteMenu.GridValidateEntry(Sender: TObject; aCol, aRow: Integer;
  const OldValue: string; var NewValue: string);
var
  Col, Row: cint;
begin
  if FFilling or (FGrid = nil) then
    Exit;
  if (FEmbed.grid_current(S, FGridId, @Col, @Row) <> 0) and (Col = aCol) and (Row = aRow) then
    FEmbed.grid_edit(S, FGridId, PChar(NewValue));
end;

procedure Register;
begin
  if PaletteMenu <> nil then
    Exit;
  PaletteMenu := TLazPaletteMenu.Create(nil);
  if LazarusIDE <> nil then
    LazarusIDE.AddHandlerOnIDEClose(@PaletteMenu.IdeClosing);
  // Once the IDE's windows stand and its event loop runs.
  Application.QueueAsyncCall(@PaletteMenu.Start, 0);
end;

finalization
  FreeAndNil(PaletteMenu);
end.
