// A scroll bar bound to a model scroll bar. Moving it by the arrows, the track or
// the keyboard changes the value; dragging the thumb raises the scroll event.
#pragma once

#include <QScrollBar>

#include "gui/model_view.h"
#include "window/elements.h"

namespace vorn::gui {

class ScrollBarView : public QScrollBar, public ModelView {
  Q_OBJECT

 public:
  ScrollBarView(Qt::Orientation orientation, window::ScrollBar* bar, Forward forward, QWidget* parent);
  void SyncFromModel() override;

 private:
  window::ScrollBar* bar_;
};

}  // namespace vorn::gui
