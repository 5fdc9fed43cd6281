// The C functions of OrvikEmbed.h over TEmbedSession. Each one checks its ids, works the model as
// a user's act would, and keeps every failure inside (see Guard).
#include "OrvikEmbed.h"

#include "EmbedSession.h"

#include "Ide.h"

#include "rtl/Exception.h"
#include "vcl/ComCtrls.h"
#include "vcl/Grids.h"
#include "vcl/ImgList.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"

#include <iostream>

struct orvik_session {
  std::unique_ptr<TEmbedSession> Session;
};

namespace {

TEmbedSession* S(orvik_session* Handle) {
  return Handle ? Handle->Session.get() : nullptr;
}

const char* Text(orvik_session* Handle, const UnicodeString& Value) {
  return S(Handle)->Keep(UTF8Encode(Value));
}

template <class T> T* Find(orvik_session* Handle, orvik_id Id) {
  return S(Handle) ? S(Handle)->Ids().FindAs<T>(Id) : nullptr;
}

orvik_id IdOf(orvik_session* Handle, TComponent* Object) {
  return S(Handle)->Ids().IdOf(Object);
}

} // namespace

extern "C" {

int orvik_version(void) {
  return ORVIK_EMBED_VERSION;
}

orvik_session* orvik_open(const orvik_host* host) {
  if (!host)
    return nullptr;
  try {
    auto Handle = std::make_unique<orvik_session>();
    Handle->Session = std::make_unique<TEmbedSession>(*host);
    return Handle.release();
  } catch (const Exception& E) {
    if (host->report)
      host->report(host->context,
                   ("The Orvik Palette Menu cannot start: " + UTF8Encode(E.Message())).c_str());
  } catch (const std::exception& E) {
    if (host->report)
      host->report(host->context,
                   (std::string("The Orvik Palette Menu cannot start: ") + E.what()).c_str());
  }
  return nullptr;
}

int orvik_load_addin(orvik_session* session, const char* path) {
  if (!S(session))
    return 0;
  return S(session)->LoadAddIn(path ? path : "") ? 1 : 0;
}

const char* orvik_default_addin(orvik_session* session) {
  return S(session) ? S(session)->Keep(TEmbedSession::DefaultAddIn()) : nullptr;
}

void orvik_close(orvik_session* session) {
  delete session;
}

// --- palette ----------------------------------------------------------------------------------

void orvik_set_pages(orvik_session* session, const char* const* names, int count) {
  if (!S(session))
    return;
  std::vector<std::string> Names;
  for (int I = 0; names && I < count; ++I)
    Names.emplace_back(names[I] ? names[I] : "");
  S(session)->Guard([&] { S(session)->SetPages(Names); });
}

const char* orvik_page_caption(orvik_session* session, int index) {
  if (!S(session))
    return nullptr;
  const TButtonCategories* Pages = S(session)->Ide().Palette()->Categories();
  if (index < 0 || index >= Pages->Count())
    return nullptr;
  return Text(session, Pages->Items(index)->Caption());
}

// --- menus ------------------------------------------------------------------------------------

orvik_id orvik_main_menu(orvik_session* session) {
  return S(session) ? IdOf(session, S(session)->Ide().MainMenu()->Items()) : 0;
}

int orvik_item_count(orvik_session* session, orvik_id item) {
  TMenuItem* Item = Find<TMenuItem>(session, item);
  return Item ? Item->Count() : -1;
}

orvik_id orvik_item_child(orvik_session* session, orvik_id item, int index) {
  TMenuItem* Item = Find<TMenuItem>(session, item);
  if (!Item || index < 0 || index >= Item->Count())
    return 0;
  return IdOf(session, Item->Items(index));
}

const char* orvik_item_caption(orvik_session* session, orvik_id item) {
  TMenuItem* Item = Find<TMenuItem>(session, item);
  return Item ? Text(session, Item->Caption()) : nullptr;
}

int orvik_item_flags(orvik_session* session, orvik_id item) {
  TMenuItem* Item = Find<TMenuItem>(session, item);
  if (!Item)
    return -1;
  return (Item->Visible() ? ORVIK_ITEM_VISIBLE : 0) | (Item->Enabled() ? ORVIK_ITEM_ENABLED : 0) |
         (Item->IsLine() ? ORVIK_ITEM_LINE : 0);
}

int orvik_item_click(orvik_session* session, orvik_id item) {
  TMenuItem* Item = Find<TMenuItem>(session, item);
  if (!Item)
    return 0;
  auto* Popup = dynamic_cast<TPopupMenu*>(Item->GetParentMenu());
  return S(session)->Guard([&] {
    if (!Popup)
      Item->Click();
    else if (Item->Count() > 0)
      Popup->OpenSubmenu(Item);
    else
      Popup->ClickItem(Item);
  })
             ? 1
             : -1;
}

// --- tool bar ---------------------------------------------------------------------------------

int orvik_tool_count(orvik_session* session) {
  return S(session) ? S(session)->Ide().ToolBar()->ControlCount() : 0;
}

orvik_id orvik_tool_button(orvik_session* session, int index) {
  if (!S(session))
    return 0;
  TToolBar* Bar = S(session)->Ide().ToolBar();
  if (index < 0 || index >= Bar->ControlCount())
    return 0;
  return IdOf(session, Bar->Controls(index));
}

int orvik_tool_flags(orvik_session* session, orvik_id button) {
  auto* B = Find<TToolButton>(session, button);
  if (!B)
    return -1;
  int Flags = (B->Visible() ? ORVIK_TOOL_VISIBLE : 0) | (B->Enabled() ? ORVIK_TOOL_ENABLED : 0) |
              (B->Down() ? ORVIK_TOOL_DOWN : 0);
  switch (B->Style()) {
  case TToolButtonStyle::tbsDropDown:
    Flags |= ORVIK_TOOL_DROPDOWN;
    break;
  case TToolButtonStyle::tbsSeparator:
  case TToolButtonStyle::tbsDivider:
    Flags |= ORVIK_TOOL_SEPARATOR;
    break;
  case TToolButtonStyle::tbsCheck:
    Flags |= ORVIK_TOOL_CHECK;
    break;
  default:
    break;
  }
  return Flags;
}

const char* orvik_tool_name(orvik_session* session, orvik_id button) {
  auto* B = Find<TToolButton>(session, button);
  return B ? Text(session, B->Name()) : nullptr;
}

const char* orvik_tool_hint(orvik_session* session, orvik_id button) {
  auto* B = Find<TToolButton>(session, button);
  return B ? Text(session, B->Hint()) : nullptr;
}

int orvik_tool_image(orvik_session* session, orvik_id button, uint32_t* pixels, int capacity,
                     int* width, int* height) {
  auto* B = Find<TToolButton>(session, button);
  const TCustomImageList* List = B && B->ToolBar() ? B->ToolBar()->Images() : nullptr;
  const int Index = B ? B->ImageIndex() : -1;
  if (!List || Index < 0 || Index >= List->Count()) {
    if (width)
      *width = 0;
    if (height)
      *height = 0;
    return 0;
  }
  const int W = List->Width(), H = List->Height();
  if (width)
    *width = W;
  if (height)
    *height = H;
  if (pixels && capacity >= W * H)
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) {
        const TColor C = List->Pixel(Index, X, Y);
        pixels[Y * W + X] = List->IsTransparent(Index, X, Y)
                                ? 0u
                                : 0xFF000000u | (uint32_t(GetRValue(C)) << 16) |
                                      (uint32_t(GetGValue(C)) << 8) | uint32_t(GetBValue(C));
      }
  return W * H;
}

orvik_id orvik_tool_menu(orvik_session* session, orvik_id button) {
  auto* B = Find<TToolButton>(session, button);
  return B && B->DropdownMenu() ? IdOf(session, B->DropdownMenu()->Items()) : 0;
}

int64_t orvik_tool_click(orvik_session* session, orvik_id button) {
  auto* B = Find<TToolButton>(session, button);
  if (!B)
    return 0;
  TPopupMenu* Menu = B->DropdownMenu();
  const bool WasUp = Menu && Menu->IsPoppedUp();
  if (!S(session)->Guard([&] { B->Click(); }))
    return -1;
  // The button and its menu may have gone with the click.
  B = Find<TToolButton>(session, button);
  Menu = B ? B->DropdownMenu() : nullptr;
  if (!Menu || WasUp || !Menu->IsPoppedUp())
    return 0;
  return static_cast<int64_t>(IdOf(session, Menu->Items()));
}

int orvik_menu_popup(orvik_session* session, orvik_id menu) {
  auto* Root = Find<TMenuItem>(session, menu);
  auto* Popup = Root ? dynamic_cast<TPopupMenu*>(Root->GetParentMenu()) : nullptr;
  if (!Popup)
    return 0;
  return S(session)->Guard([&] { Popup->Popup(0, 0); }) ? 1 : -1;
}

void orvik_menu_closed(orvik_session* session, orvik_id menu) {
  auto* Root = Find<TMenuItem>(session, menu);
  if (auto* Popup = Root ? dynamic_cast<TPopupMenu*>(Root->GetParentMenu()) : nullptr)
    S(session)->Guard([&] { Popup->CloseUp(); });
}

// --- forms ------------------------------------------------------------------------------------

const char* orvik_form_caption(orvik_session* session, orvik_id form) {
  auto* F = Find<TCustomForm>(session, form);
  return F ? Text(session, F->Caption()) : nullptr;
}

int orvik_form_centred(orvik_session* session, orvik_id form) {
  auto* F = Find<TCustomForm>(session, form);
  if (!F)
    return 0;
  switch (F->Position()) {
  case poScreenCenter:
  case poDesktopCenter:
  case poMainFormCenter:
  case poOwnerFormCenter:
    return 1;
  default:
    return 0;
  }
}

int orvik_form_modal_result(orvik_session* session, orvik_id form) {
  auto* F = Find<TCustomForm>(session, form);
  return F ? F->ModalResult() : 0;
}

int orvik_control_count(orvik_session* session, orvik_id parent) {
  auto* P = Find<TWinControl>(session, parent);
  return P ? P->ControlCount() : 0;
}

orvik_id orvik_control(orvik_session* session, orvik_id parent, int index) {
  auto* P = Find<TWinControl>(session, parent);
  if (!P || index < 0 || index >= P->ControlCount())
    return 0;
  return IdOf(session, P->Controls(index));
}

int orvik_control_kind(orvik_session* session, orvik_id control) {
  auto* C = Find<TControl>(session, control);
  if (!C)
    return -1;
  if (dynamic_cast<TButton*>(C))
    return ORVIK_CONTROL_BUTTON;
  if (dynamic_cast<TStringGrid*>(C))
    return ORVIK_CONTROL_GRID;
  return ORVIK_CONTROL_OTHER;
}

int orvik_control_bounds(orvik_session* session, orvik_id control, int bounds[4]) {
  auto* C = Find<TControl>(session, control);
  if (!C || !bounds)
    return 0;
  bounds[0] = C->Left();
  bounds[1] = C->Top();
  bounds[2] = C->Width();
  bounds[3] = C->Height();
  return 1;
}

const char* orvik_control_name(orvik_session* session, orvik_id control) {
  auto* C = Find<TControl>(session, control);
  return C ? Text(session, C->Name()) : nullptr;
}

const char* orvik_control_caption(orvik_session* session, orvik_id control) {
  auto* B = Find<TButton>(session, control);
  return B ? Text(session, B->Caption()) : nullptr;
}

int orvik_button_flags(orvik_session* session, orvik_id button) {
  auto* B = Find<TButton>(session, button);
  if (!B)
    return 0;
  return (B->Default() ? ORVIK_BUTTON_DEFAULT : 0) | (B->Cancel() ? ORVIK_BUTTON_CANCEL : 0) |
         (B->ModalResult() << 8);
}

int orvik_button_press(orvik_session* session, orvik_id button) {
  auto* B = Find<TButton>(session, button);
  if (!B)
    return -1;
  const orvik_id Form = IdOf(session, GetParentForm(B));
  if (!S(session)->Guard([&] { B->Click(); }))
    return -1;
  // The form may have been released by the click.
  auto* F = Find<TCustomForm>(session, Form);
  return F ? F->ModalResult() : 0;
}

int orvik_grid_size(orvik_session* session, orvik_id grid, int size[4]) {
  auto* G = Find<TCustomGrid>(session, grid);
  if (!G || !size)
    return 0;
  size[0] = G->ColCount();
  size[1] = G->RowCount();
  size[2] = G->FixedCols();
  size[3] = G->FixedRows();
  return 1;
}

int orvik_grid_col_width(orvik_session* session, orvik_id grid, int col) {
  auto* G = Find<TCustomGrid>(session, grid);
  return G && col >= 0 && col < G->ColCount() ? G->ColWidths(col) : 0;
}

int orvik_grid_row_height(orvik_session* session, orvik_id grid, int row) {
  auto* G = Find<TCustomGrid>(session, grid);
  return G && row >= 0 && row < G->RowCount() ? G->RowHeights(row) : 0;
}

const char* orvik_grid_cell(orvik_session* session, orvik_id grid, int col, int row) {
  auto* G = Find<TStringGrid>(session, grid);
  if (!G || col < 0 || col >= G->ColCount() || row < 0 || row >= G->RowCount())
    return nullptr;
  return Text(session, G->Cells(col, row));
}

int orvik_grid_current(orvik_session* session, orvik_id grid, int* col, int* row) {
  auto* G = Find<TCustomGrid>(session, grid);
  if (!G || !G->HasCurrentCell())
    return 0;
  if (col)
    *col = G->Col();
  if (row)
    *row = G->Row();
  return 1;
}

int orvik_grid_select(orvik_session* session, orvik_id grid, int col, int row) {
  auto* G = Find<TCustomGrid>(session, grid);
  if (!G)
    return 0;
  bool Taken = false;
  S(session)->Guard([&] { Taken = G->UserSelectCell(col, row); });
  return Taken ? 1 : 0;
}

int orvik_grid_can_edit(orvik_session* session, orvik_id grid) {
  auto* G = Find<TCustomGrid>(session, grid);
  return G && G->CanEditCell() ? 1 : 0;
}

int orvik_grid_edit(orvik_session* session, orvik_id grid, const char* text) {
  auto* G = Find<TCustomGrid>(session, grid);
  if (!G || !text)
    return 0;
  bool Taken = false;
  S(session)->Guard([&] { Taken = G->UserEditCell(UTF8Decode(text)); });
  return Taken ? 1 : 0;
}

} // extern "C"
