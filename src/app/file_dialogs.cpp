#include <filesystem>

#include "app/file_commands.h"

namespace vorn {

FileFilter JpegFilter() {
  return {"JPEGファイル(*.jpg)", "*.jpg"};
}

FileFilter JpegOpenFilter() {
  return {"JPEGファイル(*.jpg *.jpeg *.jpe *.jfif)", "*.jpg *.jpeg *.jpe *.jfif"};
}

namespace {

// Both dialogs start in the folder of the file last chosen: the next file to open
// or the repaired copy to save is most often beside it.
window::FileDialogRequest MakeRequest(const window::WindowModel& owner, const std::string& title,
                                      const FileFilter& filter, const std::string& proposedName) {
  window::FileDialogRequest request;
  request.title = title;
  request.filterLabel = filter.label;
  request.filterPattern = filter.pattern;
  request.proposedName = proposedName;
  request.folder = std::filesystem::path(owner.Fname.text).parent_path().string();
  request.bufferSize = kPathBufferSize;
  return request;
}

}  // namespace

std::string OpenFileDialog(window::Dialogs& dialogs, const window::WindowModel& owner,
                           const FileFilter& filter) {
  window::FileDialogRequest request = MakeRequest(owner, "ファイルを開く", filter, "");
  request.mustExist = true;
  return dialogs.OpenFileDialog(request);
}

std::string SaveFileDialog(window::Dialogs& dialogs, const window::WindowModel& owner,
                           const FileFilter& filter) {
  window::FileDialogRequest request = MakeRequest(owner, "ファイルを保存する", filter, owner.Fname.text);
  // A repaired copy must be savable under a new name, so the chosen file need not
  // exist; replacing one that does is confirmed by the dialog.
  request.mustExist = false;
  request.confirmOverwrite = true;
  return dialogs.SaveFileDialog(request);
}

}  // namespace vorn
