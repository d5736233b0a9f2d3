// What the window program does around the window: its own options, Qt's Japanese
// texts, a quiet start, and starting work only once the window stands on the screen.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class QTranslator;

namespace vorn::gui {

// --help and --version, answered before any display is opened: the exit status
// once the text is printed, or nothing when the program is to start.
std::optional<int> AnswerInfoOption(int argc, char** argv);

// Loads Qt's own Japanese texts (Debian package qt6-translations-l10n) for the
// standard buttons and the file dialogs, to match the window's Japanese, and returns
// the installed translator (owned by the application). Returns nullptr when they are
// not installed; the dialogs then stay in English.
QTranslator* LoadQtJapanese();

// Keeps the terminal free of Qt's note that XDG_RUNTIME_DIR is not set (as under su,
// sudo or in a container), which says nothing about the program. Other messages
// pass on to the handler that was there before.
void QuietenRuntimeFolderNote();

// Runs `action` once, after the window manager has placed the shown window: a
// message box that the action opens is then centred on the window where it stands,
// not where it stood before the window manager moved it.
void RunWhenPlaced(QWidget& window, std::function<void()> action);

}  // namespace vorn::gui
