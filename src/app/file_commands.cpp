#include "app/file_commands.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "analysis/file_errors.h"
#include "app/analyze.h"
#include "app/display_state.h"

namespace vorn {
namespace {

constexpr const char* kJpegEndings[] = {".jpg", ".jpeg", ".jpe", ".jfif"};

void Report(window::Dialogs& dialogs, const FileError& error, FileAccess access = FileAccess::Read) {
  dialogs.MessageBox(FileErrorMessage(error, access), window::Buttons::Ok);
}

bool EndsWithLower(const std::string& path, const std::string& ending) {
  if (path.size() < ending.size()) return false;
  std::string tail = path.substr(path.size() - ending.size());
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ending;
}

// UTF-8 code points: every byte that is not a continuation byte (10xxxxxx) starts one.
size_t CharacterCount(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A dialog's result as a path. A name that does not fit the 250-character buffer is
// refused rather than cut short, which would name a different file.
bool PathFromDialog(window::Dialogs& dialogs, const std::string& buffer, std::string& path) {
  path = CutAtNul(buffer);
  if (CharacterCount(path) <= static_cast<size_t>(kPathBufferSize - 1)) return true;
  Report(dialogs, {kBadFileName});
  return false;
}

}  // namespace

std::string CutAtNul(const std::string& buffer) {
  return buffer.substr(0, buffer.find('\0'));
}

bool HasJpgEnding(const std::string& path) {
  return EndsWithLower(path, ".jpg");
}

bool HasJpegEnding(const std::string& path) {
  return std::any_of(std::begin(kJpegEndings), std::end(kJpegEndings),
                     [&path](const char* ending) { return EndsWithLower(path, ending); });
}

bool MayDiscardUnsaved(window::Dialogs& dialogs, bool unsaved) {
  return !unsaved || dialogs.MessageBox(kUnsavedQuestion, window::Buttons::YesNo) == window::Answer::Yes;
}

void LoadFromPath(AppState& app, const std::string& path) {
  FileError error;
  try {
    error = LoadFileImage(app, path).error;
  } catch (const std::bad_alloc&) {
    // A file too big for the memory at hand is a failure of this load, not of the program.
    error = {kOutOfMemory};
  }
  if (!error.ok()) Report(app.dialogs, error);
}

void LOAD_Click(AppState& app) {
  if (!MayDiscardUnsaved(app.dialogs, app.Unsaved)) return;
  const std::string buffer = OpenFileDialog(app.dialogs, app.form, JpegOpenFilter());
  if (buffer.empty()) return;
  std::string path;
  if (!PathFromDialog(app.dialogs, buffer, path)) return;
  LoadFromPath(app, path);
}

void SAVE_Click(AppState& app) {
  const std::string buffer = SaveFileDialog(app.dialogs, app.form, JpegFilter());
  if (buffer.empty()) return;
  std::string path;
  if (!PathFromDialog(app.dialogs, buffer, path)) return;
  // After a write nothing counts as unsaved.
  if (SaveBytes(app.dialogs, app.file.bytes, path).ok()) SetUnsaved(app, false);
}

FileError SaveBytes(window::Dialogs& dialogs, std::span<const uint8_t> bytes, const std::string& path) {
  if (!HasJpgEnding(path)) {
    dialogs.MessageBox("正しいファイル名を指定して下さい", window::Buttons::Ok);
    return {kBadFileName};
  }
  const FileError error = WriteWholeFile(path, bytes);
  if (!error.ok()) Report(dialogs, error, FileAccess::Write);
  return error;
}

window::DropEffect Picture1_OLEDragOver(bool hasFileList) {
  return hasFileList ? window::DropEffect::Copy : window::DropEffect::None;
}

void Picture1_OLEDragDrop(AppState& app, bool hasFileList, const std::vector<std::string>& paths) {
  if (!hasFileList || paths.empty()) return;
  const std::string& path = paths.front();
  if (!HasJpegEnding(path) || !MayDiscardUnsaved(app.dialogs, app.Unsaved)) return;
  LoadFromPath(app, path);
}

void OpenAtStart(AppState& app, const std::string& path) {
  LoadFromPath(app, path);
}

void OpenFromAnotherInstance(AppState& app, const std::string& path) {
  if (path.empty() || !MayDiscardUnsaved(app.dialogs, app.Unsaved)) return;
  LoadFromPath(app, path);
}

}  // namespace vorn
