// The Tool Palette's categorised button view: collapsible category headers with the component
// buttons below, scrolled as the model scrolls. The model's geometry is the view's: the view
// sets the palette's height to its own, draws what the model says is in view, and shows every
// change of the model (a category expanded, scrolled into view, added, removed, renamed) at once.
// Painting and hit testing ask the model where the categories are (it keeps their tops), so
// they cost what is in view, not what the palette holds; a burst of changes (a palette being
// filled) is measured once, when the burst is over.
#pragma once

#include "vcl/CategoryButtons.h"

#include <QAbstractScrollArea>

class PaletteMirror : public QAbstractScrollArea, private TCategoryButtonsView {
  Q_OBJECT
public:
  PaletteMirror(TCategoryButtons* Palette, QWidget* Parent);
  ~PaletteMirror() override;

  TCategoryButtons* Palette() const { return FPalette; }
  // The category whose header lies at a point of the viewport, or -1.
  int HeaderAt(const QPoint& Point) const;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void scrollContentsBy(int Dx, int Dy) override;

private:
  void CategoriesChanged(TCategoryButtons*) override { ShowSoon(); }
  void ScrollPositionChanged(TCategoryButtons*) override { Show(); }
  void BoundsChanged(TControl*) override { Show(); }
  void VisibleChanged(TControl*) override { Show(); }
  void Show();
  // Repaints now and brings the scroll bar up to date once the running burst of changes is over.
  void ShowSoon();
  void ComponentDestroying(TComponent* Sender) override;
  void SyncScrollBar();

  TCategoryButtons* FPalette;
  bool FSyncing = false;
  bool FShowQueued = false;
};
