#include "window/menu.h"

namespace vorn::window {

const MenuItem* FindMenuItem(const std::vector<Menu>& menus, const std::string& caption) {
  for (const Menu& menu : menus)
    for (const MenuItem& item : menu.items)
      if (!item.Separator() && item.caption == caption) return &item;
  return nullptr;
}

}  // namespace vorn::window
