#include "gui/command_button.h"

namespace vorn::gui {

CommandButton::CommandButton(window::Command* command, Forward forward, QWidget* parent)
    : QPushButton(parent), command_(command) {
  // The focus moves to a pressed button, so the input field loses it before the click.
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this,
          [this, forward = std::move(forward)] { forward([this] { command_->Click(); }); });
  SyncFromModel();
}

void CommandButton::SyncFromModel() {
  const QString caption = QString::fromStdString(command_->caption);
  if (text() != caption) setText(caption);
  if (isEnabled() != command_->enabled) setEnabled(command_->enabled);
}

}  // namespace vorn::gui
