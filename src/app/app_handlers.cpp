#include "app/about.h"
#include "app/ending.h"
#include "app/file_commands.h"
#include "app/wiring.h"

namespace vorn {

void WireAppHandlers(AppState& app) {
  app.form.LOAD.onClick = [&app] { LOAD_Click(app); };
  app.form.SAVE.onClick = [&app] { SAVE_Click(app); };
  app.form.QUIT.onClick = [&app] { QUIT_Click(app); };
  app.form.ABOUT.onClick = [&app] { ABOUT_Click(app); };
  app.form.onCloseRequest = [&app] { return Form_Unload(app); };
  app.form.onPicture1DragOver = [](bool hasFileList) { return Picture1_OLEDragOver(hasFileList); };
  app.form.onPicture1Drop = [&app](bool hasFileList, const std::vector<std::string>& paths) {
    Picture1_OLEDragDrop(app, hasFileList, paths);
  };
}

}  // namespace vorn
