// A custom widget collection for Qt Widgets Designer that files 500 plain widgets each under a
// category of its own, so that the Widget Box holds 500 categories more than its standard ones.
// Built for the benchmark only (bench/DesignerBench.cpp); never installed.
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QIcon>
#include <QObject>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

constexpr int CategoryCount = 500;

class TBenchWidget : public QDesignerCustomWidgetInterface {
public:
  explicit TBenchWidget(int Index)
      : FName(QStringLiteral("BenchWidget%1").arg(Index, 3, 10, QLatin1Char('0'))),
        FGroup(QStringLiteral("Bench Category %1").arg(Index, 3, 10, QLatin1Char('0'))) {}

  QString name() const override { return FName; }
  QString group() const override { return FGroup; }
  QString toolTip() const override { return FName; }
  QString whatsThis() const override { return FName; }
  QString includeFile() const override { return QStringLiteral("QWidget"); }
  QIcon icon() const override { return {}; }
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* Parent) override { return new QWidget(Parent); }
  QString domXml() const override {
    return QStringLiteral("<ui language=\"c++\"><widget class=\"%1\" name=\"%2\"/></ui>")
        .arg(FName, FName.toLower());
  }

private:
  QString FName;
  QString FGroup;
};

class TBenchWidgetCollection : public QObject, public QDesignerCustomWidgetCollectionInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
  Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
  explicit TBenchWidgetCollection(QObject* Parent = nullptr) : QObject(Parent) {
    for (int I = 0; I < CategoryCount; ++I) {
      FOwned.push_back(std::make_unique<TBenchWidget>(I));
      FWidgets.push_back(FOwned.back().get());
    }
  }
  QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return FWidgets; }

private:
  std::vector<std::unique_ptr<TBenchWidget>> FOwned;
  QList<QDesignerCustomWidgetInterface*> FWidgets;
};

} // namespace

#include "DesignerBenchWidgets.moc"
