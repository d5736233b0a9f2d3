// Shared by the window tests: a main window shown on a model, its widgets found by
// their element's name, and a window with the real handlers behind it, started and
// shown, its boxes answered by script.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/cell_widget.h"
#include "gui/main_window.h"
#include "window/dialogs.h"

namespace vorn::gui {

class ShownWindow : public ::testing::Test {
 protected:
  // Shows a window on w and waits until it is the active one.
  void Show(window::WindowModel& form) {
    window_ = std::make_unique<MainWindow>(form);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  // The widgets point into the model, which the derived fixture owns: the window
  // goes first.
  void TearDown() override { window_.reset(); }

  template <typename T>
  T* Widget(const char* name, int index = -1) {
    auto* widget = qobject_cast<T*>(window_->Element(QString::fromLatin1(name), index));
    EXPECT_NE(widget, nullptr) << name << " " << index;
    return widget;
  }
  CellWidget* Cell(const char* name, int index = -1) { return Widget<CellWidget>(name, index); }

  std::unique_ptr<MainWindow> window_;
};

class WiredWindow : public ShownWindow {
 protected:
  WiredWindow() : app_(dialogs_) {
    WireHandlers(app_);
    started_ = Form_Load(app_, [] { return false; });
    Show(app_.form);
  }

  window::ScriptedDialogs dialogs_;
  AppState app_;
  bool started_ = false;
};

}  // namespace vorn::gui
