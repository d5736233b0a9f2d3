// Message boxes and file dialogs. The window shows real modal boxes; tests and
// vorn-cli answer them by script and record the texts.
#pragma once

#include <deque>
#include <functional>
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

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Blocks until answered; returns the button pressed.
  virtual Answer MessageBox(const std::string& text, Buttons buttons) = 0;
  // The chosen path, or an empty text when cancelled.
  virtual std::string OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::string SaveFileDialog(const FileDialogRequest& request) = 0;
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

  Answer MessageBox(const std::string& text, Buttons buttons) override;
  std::string OpenFileDialog(const FileDialogRequest& request) override;
  std::string SaveFileDialog(const FileDialogRequest& request) override;

  // The texts of all messages so far, in order.
  std::vector<std::string> Texts() const;
};

}  // namespace vorn::window
