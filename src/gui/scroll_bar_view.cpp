#include "gui/scroll_bar_view.h"

#include <QSignalBlocker>

namespace vorn::gui {

ScrollBarView::ScrollBarView(Qt::Orientation orientation, window::ScrollBar* bar, Forward forward,
                             QWidget* parent)
    : QScrollBar(orientation, parent), bar_(bar) {
  setFocusPolicy(Qt::NoFocus);
  setMinimum(0);
  setSingleStep(1);
  setPageStep(1);  // both count whole MCUs; a page is as good a step as any
  connect(this, &QScrollBar::valueChanged, this, [this, forward](int value) {
    if (isSliderDown())
      forward([this, value] { bar_->DragTo(value); });
    else
      forward([this, value] { bar_->SetValue(value); });
  });
  SyncFromModel();
}

void ScrollBarView::SyncFromModel() {
  // Setting the range or value here must not come back as a user's change.
  const QSignalBlocker block(this);
  if (maximum() != bar_->max) setMaximum(bar_->max);
  if (value() != bar_->value) setValue(bar_->value);
}

}  // namespace vorn::gui
