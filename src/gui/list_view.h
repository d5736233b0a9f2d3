// A list box bound to a model list: lines follow the model; click and double
// click are handed on with the line index.
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

 private:
  window::ListBox* list_;
  std::vector<std::string> shown_;
};

}  // namespace vorn::gui
