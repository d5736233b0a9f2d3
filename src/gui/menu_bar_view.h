// The menu bar of the main window, built from the model's menus. Each action shows
// its item's command: enabled exactly when the command is, and triggering it runs
// the command through the window as a click on its button does.
#pragma once

#include <QMenuBar>
#include <utility>
#include <vector>

#include "gui/model_view.h"
#include "window/menu.h"

class QAction;

namespace vorn::gui {

class MenuBarView : public QMenuBar, public ModelView {
  Q_OBJECT

 public:
  MenuBarView(const std::vector<window::Menu>& menus, Forward forward, QWidget* parent);
  void SyncFromModel() override;

  // The action of the item captioned `caption`, or nullptr.
  QAction* Action(const QString& caption) const;

 private:
  std::vector<std::pair<QAction*, const window::MenuItem*>> actions_;
};

}  // namespace vorn::gui
