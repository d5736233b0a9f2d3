// A list box bound to a model list: lines follow the model; click and double
// click are handed on with the line index, a selection moved by the keys as a
// click, Enter as a double click.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

#include "gui/model_view.h"
#include "window/elements.h"

namespace vorn::gui {

class ListView : public QListWidget, public ModelView {
  Q_OBJECT

 public:
  ListView(window::ListBox* list, Forward forward, QWidget* parent);
  void SyncFromModel() override;
  // Sets the box the layout gives the list; the list takes as much of its height
  // as holds whole lines, as a list box of the window system does.
  void PlaceWholeLines(const QRect& box);
  int RowHeight() const { return rowHeight_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void updateGeometries() override;

 private:
  void FitWholeLines();

  window::ListBox* list_;
  Forward forward_;
  QRect box_;
  int rowHeight_ = 0;
  std::vector<std::string> shown_;
};

}  // namespace vorn::gui
