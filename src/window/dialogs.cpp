#include "window/dialogs.h"

namespace vorn::window {

Answer ScriptedDialogs::MessageBox(const std::string& text, Buttons buttons) {
  messages.push_back({text, buttons});
  if (onMessage) onMessage(text);
  if (!answers.empty()) {
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

std::string ScriptedDialogs::OpenFileDialog(const FileDialogRequest& request) {
  openRequests.push_back(request);
  if (openPaths.empty()) return {};
  std::string p = openPaths.front();
  openPaths.pop_front();
  return p;
}

std::string ScriptedDialogs::SaveFileDialog(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  if (savePaths.empty()) return {};
  std::string p = savePaths.front();
  savePaths.pop_front();
  return p;
}

namespace {

class ScriptedProgress : public ProgressBox {
 public:
  ScriptedProgress(std::vector<double>& steps, int cancelAfter) : steps_(steps), left_(cancelAfter) {}
  void Advance(double fraction) override {
    steps_.push_back(fraction);
    if (left_ > 0) --left_;
  }
  bool Cancelled() const override { return left_ == 0; }

 private:
  std::vector<double>& steps_;
  int left_;  // steps until cancelled; -1: never
};

}  // namespace

std::unique_ptr<ProgressBox> ScriptedDialogs::OpenProgress(const std::string& text) {
  progressTexts.push_back(text);
  const int cancelAfter = cancelProgressAfter;
  cancelProgressAfter = -1;  // a script cancels one box
  return std::make_unique<ScriptedProgress>(progressSteps, cancelAfter);
}

std::vector<std::string> ScriptedDialogs::Texts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

}  // namespace vorn::window
