// The main window: the menu bar, and below it the client area with one widget per
// element of the layout table, each mirroring its model element. Every user action
// runs through Run(), which hands it to the model and then brings all widgets up to
// date.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "gui/model_view.h"
#include "window/window_model.h"

namespace vorn::gui {

class InputField;
class MenuBarView;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(window::WindowModel& form, QWidget* parent = nullptr);

  // Runs a model event: first a pending loss of the input field's focus, then the
  // event, then a re-sync of every widget; signals ended() once the model has ended.
  void Run(const std::function<void()>& event);
  // Runs an event that does not come from the window (a file handed over by a later
  // start) as Run does, but only once no event is running and no modal box is open:
  // a load must not replace the bytes under a question or a search.
  void RunWhenIdle(const std::function<void()>& event);
  // Shows the window in front of the others, also when it was minimised.
  void BringToFront();
  // Brings every widget up to date with the model (also before a modal box shows).
  void SyncFromModel();

  // The widget of element `name` (element `index` of a field array), or nullptr.
  QWidget* Element(const QString& name, int index = -1) const;
  // The client area, whose coordinates the layout gives; the menu bar sits above it.
  QWidget* Client() const { return client_; }
  MenuBarView* MenuBar() const { return menuBar_; }

  // The client width for the model's outer width: the frame takes 8 pixels
  // (outer 470, client 462 in the compact window).
  static int ClientWidth(int outerWidth) { return outerWidth - 8; }

 signals:
  void ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Build();
  void FlushFocusLoss();
  void CheckEnded();

  window::WindowModel& form_;
  QWidget* client_ = nullptr;
  MenuBarView* menuBar_ = nullptr;
  InputField* input_ = nullptr;
  std::vector<ModelView*> views_;
  int running_ = 0;  // Run calls in progress (a modal box inside one runs events)
  bool focusLossPending_ = false;
  bool endedSignalled_ = false;
  int shownOuterWidth_ = -1;
};

}  // namespace vorn::gui
