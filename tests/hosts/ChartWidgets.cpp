// A custom widget collection for the black-box tests: one widget in a Widget Box category whose
// name holds an "&" ("Data & Charts"), as a user's own widget plugin may have. Loaded by the
// hosts from QT_PLUGIN_PATH beside the add-in's plugin; never installed.
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QIcon>
#include <QObject>
#include <QWidget>

// The widget itself: a plain widget of its own class, as the host expects of a factory.
class ChartView : public QWidget {
  Q_OBJECT
public:
  using QWidget::QWidget;
};

namespace {

class TChartViewFactory : public QDesignerCustomWidgetInterface {
public:
  QString name() const override { return QStringLiteral("ChartView"); }
  QString group() const override { return QStringLiteral("Data & Charts"); }
  QString toolTip() const override { return name(); }
  QString whatsThis() const override { return name(); }
  QString includeFile() const override { return QStringLiteral("chartview.h"); }
  QIcon icon() const override { return {}; }
  bool isContainer() const override { return false; }
  QWidget* createWidget(QWidget* Parent) override { return new ChartView(Parent); }
  QString domXml() const override {
    return QStringLiteral(
        "<ui language=\"c++\"><widget class=\"ChartView\" name=\"chartView\"/></ui>");
  }
};

class TChartWidgets : public QObject, public QDesignerCustomWidgetCollectionInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
  Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
  QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return {&FChart}; }

private:
  mutable TChartViewFactory FChart;
};

} // namespace

#include "ChartWidgets.moc"
