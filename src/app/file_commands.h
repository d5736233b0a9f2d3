// The file commands: load through the open dialog or by dropping a file on the image,
// save through the save dialog, and opening a file named on the command line.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "window/window_model.h"

namespace vorn {

// Both dialogs hold the chosen name in a buffer of this many characters, so a path
// has at most kPathBufferSize - 1 characters.
inline constexpr int kPathBufferSize = 250;

struct FileFilter {
  std::string label;
  std::string pattern;
};
// The entry the save dialog offers: a save writes only names ending in ".jpg".
FileFilter JpegFilter();
// The entry the open dialog offers: every usual ending of a JPEG file.
FileFilter JpegOpenFilter();

// Asked before unsaved changes would be lost.
inline constexpr const char* kUnsavedQuestion = "修正が保存されていません。保存せずに続けますか";
// True when nothing is unsaved, or the user answers Yes to kUnsavedQuestion.
bool MayDiscardUnsaved(window::Dialogs& dialogs, bool unsaved);

// The open dialog of the owner window: the chosen name, or "" when cancelled.
std::string OpenFileDialog(window::Dialogs& dialogs, const window::WindowModel& owner,
                           const FileFilter& filter);
// The save dialog, proposing the text of Fname: the chosen name, or "" when cancelled.
std::string SaveFileDialog(window::Dialogs& dialogs, const window::WindowModel& owner,
                           const FileFilter& filter);

// Loads the file at path as both LOAD and a drop do: the file is read, Fname shows it
// and it is analysed; a failure is reported in a message box and changes nothing.
void LoadFromPath(AppState& app, const std::string& path);

// Writes bytes to path as SAVE does once its dialog has returned path: a name
// without the ".jpg" ending is refused with "正しいファイル名を指定して下さい"
// (kBadFileName), a failed write is reported in a message box.
FileError SaveBytes(window::Dialogs& dialogs, std::span<const uint8_t> bytes, const std::string& path);

void LOAD_Click(AppState& app);
void SAVE_Click(AppState& app);
window::DropEffect Picture1_OLEDragOver(bool hasFileList);
void Picture1_OLEDragDrop(AppState& app, bool hasFileList, const std::vector<std::string>& paths);

// `vorn FILE`: opens FILE at start as a load does (no check of its ending).
void OpenAtStart(AppState& app, const std::string& path);
// `vorn FILE` started while this window runs: opens FILE as at start, after asking
// when changes are unsaved; an empty path opens nothing.
void OpenFromAnotherInstance(AppState& app, const std::string& path);

// The text before the first NUL of a dialog's name buffer.
std::string CutAtNul(const std::string& buffer);
// Whether the last four characters are ".jpg" in any mix of case.
bool HasJpgEnding(const std::string& path);
// Whether the name ends in ".jpg", ".jpeg", ".jpe" or ".jfif" in any mix of case.
bool HasJpegEnding(const std::string& path);

}  // namespace vorn
