#include "app/file_commands.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "analysis/file_errors.h"
#include "app/analyze.h"

namespace vorn {
namespace {

void Report(AppState& app, const FileError& error) {
  app.Message(FileErrorMessage(error));
}

// UTF-8 code points: every byte that is not a continuation byte (10xxxxxx) starts one.
size_t CharacterCount(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A dialog's result as a path. A name that does not fit the 250-character buffer is
// refused rather than cut short, which would name a different file.
bool PathFromDialog(AppState& app, const std::string& buffer, std::string& path) {
  path = CutAtNul(buffer);
  if (CharacterCount(path) <= static_cast<size_t>(kPathBufferSize - 1)) return true;
  Report(app, {kBadFileName});
  return false;
}

}  // namespace

std::string CutAtNul(const std::string& buffer) {
  return buffer.substr(0, buffer.find('\0'));
}

bool HasJpgEnding(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ending == ".jpg";
}

void LoadFromPath(AppState& app, const std::string& path) {
  app.form.Fname.text = path;
  FileError error;
  try {
    error = LoadFileImage(app, path).error;
  } catch (const std::bad_alloc&) {
    // A file too big for the memory at hand is a failure of this load, not of the program.
    error = {kOutOfMemory};
  }
  if (!error.ok()) Report(app, error);
}

void LOAD_Click(AppState& app) {
  const std::string buffer = OpenFileDialog(app, JpegFilter());
  if (buffer.empty()) return;
  std::string path;
  if (!PathFromDialog(app, buffer, path)) return;
  LoadFromPath(app, path);
}

void SAVE_Click(AppState& app) {
  const std::string buffer = SaveFileDialog(app, JpegFilter());
  if (buffer.empty()) return;
  std::string path;
  if (!PathFromDialog(app, buffer, path)) return;
  if (!HasJpgEnding(path)) {
    app.Message("正しいファイル名を指定して下さい");
    return;
  }
  const FileError error = WriteWholeFile(path, app.file.bytes);
  if (!error.ok()) Report(app, error);
}

window::DropEffect Picture1_OLEDragOver(bool hasFileList) {
  return hasFileList ? window::DropEffect::Copy : window::DropEffect::None;
}

void Picture1_OLEDragDrop(AppState& app, bool hasFileList, const std::vector<std::string>& paths) {
  if (!hasFileList || paths.empty()) return;
  const std::string& path = paths.front();
  if (!HasJpgEnding(path)) return;
  LoadFromPath(app, path);
}

void OpenAtStart(AppState& app, const std::string& path) {
  LoadFromPath(app, path);
}

}  // namespace vorn
