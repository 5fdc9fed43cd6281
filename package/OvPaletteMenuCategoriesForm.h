// The categories editor: a modal dialog that lists every palette tab by its tab key beside its
// stored categories; the user edits the categories column and confirms or cancels. The dialog
// opens its own store handle while it exists.
#pragma once

#include "rtl/RegIniFile.h"
#include "rtl/StringList.h"
#include "vcl/Forms.h"
#include "vcl/Grids.h"
#include "vcl/StdCtrls.h"

#include <memory>

class TOvFrmPaletteMenuCategories : public TForm {
public:
  // Builds the bare form; create it with CreateComponent, which reads its stored layout.
  explicit TOvFrmPaletteMenuCategories(TComponent* AOwner);
  ~TOvFrmPaletteMenuCategories() override;
  HOST_CLASS_INFO;

  // Published: filled in from the stored layout.
  TButton* BtnOk = nullptr;
  TStringGrid* GrdCategories = nullptr;
  TButton* BtnCancel = nullptr;

  // Published handlers, bound by name from the stored layout.
  void FormCreate(TObject* Sender);
  // Copes with a form whose FormCreate never ran or failed half way.
  void FormDestroy(TObject* Sender);
  void GrdCategoriesDrawCell(TObject* Sender, int ACol, int ARow, const TRect& Rect,
                             TGridDrawState State);
  // Only the categories column (1) can be selected, and so edited.
  void GrdCategoriesSelectCell(TObject* Sender, int ACol, int ARow, bool& CanSelect);

  // The palette tab captions, "&" included, in the order given (never sorted here). Reading
  // gives the list ("Dlg->Tabs->Count()"); assigning a list copies its strings
  // ("Dlg->Tabs = List").
  class TTabsProperty {
  public:
    explicit TTabsProperty(TOvFrmPaletteMenuCategories& Form) : FForm(Form) {}
    TTabsProperty(const TTabsProperty&) = delete;
    TTabsProperty& operator=(const TStrings& Value) {
      FForm.SetTabs(Value);
      return *this;
    }
    operator TStrings*() const { return FForm.FTabs.get(); }
    TStrings* operator->() const { return FForm.FTabs.get(); }

  private:
    TOvFrmPaletteMenuCategories& FForm;
  } Tabs{*this};

  // Fills the grid: the header row, then one row per distinct tab key in the order of its first
  // appearance in Tabs, with the key and its stored categories; selects cell (1, 1) if there
  // is a row.
  void UpdateControls();
  // Writes every row back to the store: a non-empty categories cell as typed, an empty one by
  // deleting the tab's value.
  void SaveCategories();

private:
  TOwned<TStrings> FTabs;            // a TStringList, from FormCreate to FormDestroy
  TOwned<TRegIniFile> FReg; // the dialog's own store handle, likewise

  void SetTabs(const TStrings& Value);
  UnicodeString GetCategory(const UnicodeString& TabKey);
};
