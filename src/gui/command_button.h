// A push button bound to a model command: caption and enabled state follow the
// model; a click runs the command.
#pragma once

#include <QPushButton>

#include "gui/model_view.h"
#include "window/elements.h"

namespace vorn::gui {

class CommandButton : public QPushButton, public ModelView {
  Q_OBJECT

 public:
  CommandButton(window::Command* command, Forward forward, QWidget* parent);
  void SyncFromModel() override;

 private:
  window::Command* command_;
};

}  // namespace vorn::gui
