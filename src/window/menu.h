// The menu bar as plain state. An item does not own a command: it points at the very
// Command a button runs (or, for the few commands without a button, one the window
// model holds), so that item and button are enabled together and run one handler.
#pragma once

#include <string>
#include <vector>

#include "window/elements.h"

namespace vorn::window {

struct MenuItem {
  std::string caption;
  // Key combinations in the portable form "Ctrl+Shift+Z", "F5"; the first is shown.
  std::vector<std::string> shortcuts;
  Command* command = nullptr;  // nullptr: a separator line

  bool Separator() const { return command == nullptr; }
  bool Enabled() const { return command && command->enabled; }
  // Runs the command as a click on its button would; false when it is disabled.
  bool Choose() const { return command && command->Click(); }
};

struct Menu {
  std::string title;
  std::vector<MenuItem> items;
};

// The item captioned `caption` in any menu, or nullptr.
const MenuItem* FindMenuItem(const std::vector<Menu>& menus, const std::string& caption);

}  // namespace vorn::window
