#include "app/file_commands.h"

namespace vorn {

FileFilter JpegFilter() {
  return {"JPEGファイル(*.jpg)", "*.jpg"};
}

namespace {

window::FileDialogRequest MakeRequest(const std::string& title, const FileFilter& filter,
                                      const std::string& proposedName) {
  window::FileDialogRequest request;
  request.title = title;
  request.filterLabel = filter.label;
  request.filterPattern = filter.pattern;
  request.proposedName = proposedName;
  request.bufferSize = kPathBufferSize;
  return request;
}

}  // namespace

std::string OpenFileDialog(AppState& owner, const FileFilter& filter) {
  window::FileDialogRequest request = MakeRequest("ファイルを開く", filter, "");
  request.mustExist = true;
  return owner.dialogs.OpenFileDialog(request);
}

std::string SaveFileDialog(AppState& owner, const FileFilter& filter) {
  window::FileDialogRequest request = MakeRequest("ファイルを保存する", filter, owner.form.Fname.text);
  // A repaired copy must be savable under a new name, so the chosen file need not
  // exist; replacing one that does is confirmed by the dialog.
  request.mustExist = false;
  request.confirmOverwrite = true;
  return owner.dialogs.SaveFileDialog(request);
}

}  // namespace vorn
