#include "gui/menu_bar_view.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QMenu>

#include "gui/display_text.h"

namespace vorn::gui {

MenuBarView::MenuBarView(const std::vector<window::Menu>& menus, Forward forward, QWidget* parent)
    : QMenuBar(parent) {
  // A menu never keeps the focus: the input field's pending text stays where it is.
  setFocusPolicy(Qt::NoFocus);
  for (const window::Menu& menu : menus) {
    QMenu* popup = addMenu(DisplayText(menu.title));
    for (const window::MenuItem& item : menu.items) {
      if (item.Separator()) {
        popup->addSeparator();
        continue;
      }
      QAction* action = popup->addAction(DisplayText(item.caption));
      QList<QKeySequence> keys;
      for (const std::string& shortcut : item.shortcuts)
        keys << QKeySequence(QString::fromStdString(shortcut), QKeySequence::PortableText);
      action->setShortcuts(keys);
      // The keys work anywhere in the window, the menu closed.
      action->setShortcutContext(Qt::WindowShortcut);
      const window::MenuItem* model = &item;
      connect(action, &QAction::triggered, this, [model, forward] { forward([model] { model->Choose(); }); });
      actions_.emplace_back(action, model);
    }
  }
  SyncFromModel();
}

void MenuBarView::SyncFromModel() {
  for (const auto& [action, item] : actions_)
    if (action->isEnabled() != item->Enabled()) action->setEnabled(item->Enabled());
}

QAction* MenuBarView::Action(const QString& caption) const {
  for (const auto& [action, item] : actions_)
    if (action->text() == caption) return action;
  return nullptr;
}

}  // namespace vorn::gui
