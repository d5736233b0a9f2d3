#include "app/ending.h"
#include "app/file_commands.h"
#include "app/wiring.h"

namespace vorn {

void WireAppHandlers(AppState& s) {
  s.w.LOAD.onClick = [&s] { LOAD_Click(s); };
  s.w.SAVE.onClick = [&s] { SAVE_Click(s); };
  s.w.QUIT.onClick = [&s] { QUIT_Click(s); };
  s.w.onCloseRequest = [&s] { return Form_Unload(s); };
  s.w.onPicture1DragOver = [](bool hasFileList) { return Picture1_OLEDragOver(hasFileList); };
  s.w.onPicture1Drop = [&s](bool hasFileList, const std::vector<std::string>& paths) {
    Picture1_OLEDragDrop(s, hasFileList, paths);
  };
}

}  // namespace vorn
