// The file commands: load through the open dialog or by dropping a file on the image,
// save through the save dialog, and opening a file named on the command line.
#pragma once

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
// The one entry both dialogs offer.
FileFilter JpegFilter();

// The open dialog of the owner window: the chosen name, or "" when cancelled.
std::string OpenFileDialog(AppState& owner, const FileFilter& filter);
// The save dialog, proposing the text of Fname: the chosen name, or "" when cancelled.
std::string SaveFileDialog(AppState& owner, const FileFilter& filter);

// Loads the file at path as both LOAD and a drop do: Fname shows it, the file is read
// and analysed, and a failure is reported in a message box.
void LoadFromPath(AppState& app, const std::string& path);

void LOAD_Click(AppState& app);
void SAVE_Click(AppState& app);
window::DropEffect Picture1_OLEDragOver(bool hasFileList);
void Picture1_OLEDragDrop(AppState& app, bool hasFileList, const std::vector<std::string>& paths);

// `vorn FILE`: opens FILE at start as a load does (no check of its ending).
void OpenAtStart(AppState& app, const std::string& path);

// The text before the first NUL of a dialog's name buffer.
std::string CutAtNul(const std::string& buffer);
// Whether the last four characters are ".jpg" in any mix of case.
bool HasJpgEnding(const std::string& path);

}  // namespace vorn
