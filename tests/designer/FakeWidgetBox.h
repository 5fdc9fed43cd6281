// A Widget Box built as the hosts build theirs, for tests: categories of widgets behind the
// public interface, shown in a tree whose top-level rows are the categories (each with one row
// for its widgets), below a filter line, in a vertical layout. Without a tree it shows a plain
// list, as a Widget Box the mirror cannot work would.
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
    Layout->addWidget(new QLineEdit(this));
    if (WithTree) {
      Tree = new QTreeWidget(this);
      Tree->setHeaderHidden(true);
      Layout->addWidget(Tree);
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
    FCategories[Index].setName(Name);
    if (Tree)
      Tree->topLevelItem(Index)->setText(0, Name);
  }

  int categoryCount() const override { return int(FCategories.size()); }
  Category category(int Index) const override { return FCategories.value(Index); }
  void addCategory(const Category& C) override {
    FCategories.append(C);
    if (!Tree)
      return;
    auto* Item = new QTreeWidgetItem(Tree, QStringList(C.name()));
    QStringList Names;
    for (int W = 0; W < C.widgetCount(); ++W)
      Names << C.widget(W).name();
    auto* Widgets = new QTreeWidgetItem(Item, QStringList(Names.join(QLatin1Char(' '))));
    Widgets->setSizeHint(0, QSize(120, 24 * std::max<int>(1, C.widgetCount())));
    Item->setExpanded(true);
  }
  void removeCategory(int Index) override {
    FCategories.removeAt(Index);
    if (Tree)
      delete Tree->takeTopLevelItem(Index);
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

private:
  CategoryList FCategories;
};
