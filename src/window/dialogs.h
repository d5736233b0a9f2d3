// Message boxes and file dialogs. The window shows real modal boxes; tests and
// vorn-cli answer them by script and record the texts.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorn::window {

enum class Buttons { Ok, YesNo, OkCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Every message box carries this title.
inline constexpr const char* kMessageTitle = "Vorn";

struct FileDialogRequest {
  std::string title;
  std::string filterLabel;    // "JPEGファイル(*.jpg)"
  std::string filterPattern;  // "*.jpg"
  std::string proposedName;
  std::string folder;    // where the dialog starts; empty: where the dialog likes
  int bufferSize = 250;  // the chosen path has at most bufferSize - 1 characters
  bool mustExist = false;
  bool confirmOverwrite = false;
};

// A modal box over the window while work goes on: a text, how much is done, and a
// cancel button. The work calls Advance now and then from the window's thread, which
// lets the window repaint and take the press on the button; the box closes when it
// is destroyed.
class ProgressBox {
 public:
  virtual ~ProgressBox() = default;
  // Shows the fraction done, 0..1.
  virtual void Advance(double fraction) = 0;
  // Whether the user has asked to cancel.
  virtual bool Cancelled() const = 0;
};

inline constexpr const char* kCancelCaption = "キャンセル";

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Blocks until answered; returns the button pressed.
  virtual Answer MessageBox(const std::string& text, Buttons buttons) = 0;
  // The chosen path, or an empty text when cancelled.
  virtual std::string OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::string SaveFileDialog(const FileDialogRequest& request) = 0;
  // Opens a progress box with the text and the button "キャンセル".
  virtual std::unique_ptr<ProgressBox> OpenProgress(const std::string& text) = 0;
};

// Answers by script: queued answers first, then OK / Yes. Records every message
// and dialog request, and optionally reports each message as it is raised.
class ScriptedDialogs : public Dialogs {
 public:
  struct Message {
    std::string text;
    Buttons buttons;
  };

  std::vector<Message> messages;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::deque<Answer> answers;         // answers for the next message boxes
  std::deque<std::string> openPaths;  // results of the next open dialogs ("" = cancel)
  std::deque<std::string> savePaths;  // results of the next save dialogs ("" = cancel)
  std::function<void(const std::string&)> onMessage;
  std::vector<std::string> progressTexts;  // the text of every progress box opened
  std::vector<double> progressSteps;       // every fraction shown, in order
  // The next progress box counts as cancelled once it has shown this many steps (0:
  // from the start); -1: it is never cancelled.
  int cancelProgressAfter = -1;

  Answer MessageBox(const std::string& text, Buttons buttons) override;
  std::string OpenFileDialog(const FileDialogRequest& request) override;
  std::string SaveFileDialog(const FileDialogRequest& request) override;
  std::unique_ptr<ProgressBox> OpenProgress(const std::string& text) override;

  // The texts of all messages so far, in order.
  std::vector<std::string> Texts() const;
};

}  // namespace vorn::window
