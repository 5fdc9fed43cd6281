// A Widget Box built as the hosts build theirs, for tests: categories of widgets behind the
// public interface, shown in a tree whose top-level rows are the categories (each with one row
// for its widgets), below a filter line, in a vertical layout. Without a tree it shows a plain
// list, as a Widget Box the mirror cannot work would.
//
// As in the hosts, a change is half done while the tree signals it (the row of a new category is
// there before the category is), so the Widget Box must not be read then: a read during a change
// is counted in ReadsInChange. The filter line hides the categories whose names do not hold its
// text, as the hosts' filter hides those with no widget that matches.
#pragma once

#include <QDesignerWidgetBoxInterface>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

class TFakeWidgetBox : public QDesignerWidgetBoxInterface {
public:
  explicit TFakeWidgetBox(bool WithTree = true, QWidget* Parent = nullptr)
      : QDesignerWidgetBoxInterface(Parent) {
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Filter = new QLineEdit(this);
    Layout->addWidget(Filter);
    if (WithTree) {
      Tree = new QTreeWidget(this);
      Tree->setHeaderHidden(true);
      Layout->addWidget(Tree);
      QObject::connect(Filter, &QLineEdit::textChanged, Tree, [this](const QString& Text) {
        for (int I = 0; I < Tree->topLevelItemCount(); ++I) {
          QTreeWidgetItem* Row = Tree->topLevelItem(I);
          Row->setHidden(!Row->text(0).contains(Text, Qt::CaseInsensitive));
        }
      });
    } else {
      Layout->addWidget(new QListWidget(this));
    }
  }

  // Categories of N widgets each, named "Name 0", "Name 1", ...
  void AddCategory(const QString& Name, int Widgets) {
    Category C(Name);
    for (int W = 0; W < Widgets; ++W)
      C.addWidget(Widget(QStringLiteral("%1 %2").arg(Name).arg(W)));
    addCategory(C);
  }
  // Renames a category in place, as a reloaded plugin may.
  void Rename(int Index, const QString& Name) {
    TChange Change(*this);
    if (Tree)
      Tree->topLevelItem(Index)->setText(0, Name);
    FCategories[Index].setName(Name);
  }
  // The whole Widget Box made anew with these categories of N widgets each, as a reload does.
  void Reload(const QStringList& Names, int Widgets) {
    {
      TChange Change(*this);
      if (Tree)
        Tree->clear();
      FCategories.clear();
    }
    for (const QString& Name : Names)
      AddCategory(Name, Widgets);
  }

  int categoryCount() const override {
    ReadsInChange += InChange ? 1 : 0;
    return int(FCategories.size());
  }
  Category category(int Index) const override {
    ReadsInChange += InChange ? 1 : 0;
    return FCategories.value(Index);
  }
  void addCategory(const Category& C) override {
    TChange Change(*this);
    if (Tree) {
      auto* Item = new QTreeWidgetItem(Tree, QStringList(C.name()));
      QStringList Names;
      for (int W = 0; W < C.widgetCount(); ++W)
        Names << C.widget(W).name();
      auto* Widgets = new QTreeWidgetItem(Item, QStringList(Names.join(QLatin1Char(' '))));
      Widgets->setSizeHint(0, QSize(120, 24 * std::max<int>(1, C.widgetCount())));
      Item->setExpanded(true);
    }
    FCategories.append(C);
  }
  void removeCategory(int Index) override {
    TChange Change(*this);
    if (Tree)
      delete Tree->takeTopLevelItem(Index);
    FCategories.removeAt(Index);
  }
  int widgetCount(int Index) const override { return FCategories.value(Index).widgetCount(); }
  Widget widget(int Index, int W) const override { return FCategories.value(Index).widget(W); }
  void addWidget(int Index, const Widget& W) override { FCategories[Index].addWidget(W); }
  void removeWidget(int Index, int W) override { FCategories[Index].removeWidget(W); }
  void dropWidgets(const QList<QDesignerDnDItemInterface*>&, const QPoint&) override {}
  void setFileName(const QString&) override {}
  QString fileName() const override { return {}; }
  bool load() override { return true; }
  bool save() override { return true; }

  QTreeWidget* Tree = nullptr;
  QLineEdit* Filter = nullptr;
  mutable int ReadsInChange = 0;

private:
  struct TChange {
    explicit TChange(TFakeWidgetBox& B) : Box(B) { Box.InChange = true; }
    ~TChange() { Box.InChange = false; }
    TFakeWidgetBox& Box;
  };
  bool InChange = false;
  CategoryList FCategories;
};
