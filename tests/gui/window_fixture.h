// Shared by the window tests: finding a widget by its element's name, and a window
// with the real handlers behind it, started and shown, its boxes answered by script.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/main_window.h"
#include "window/dialogs.h"

namespace vorn::gui {

template <typename T>
T* Find(const MainWindow& window, const char* name, int index = -1) {
  auto* widget = qobject_cast<T*>(window.Element(QString::fromLatin1(name), index));
  EXPECT_NE(widget, nullptr) << name << " " << index;
  return widget;
}

class WiredWindow : public ::testing::Test {
 protected:
  WiredWindow() : s_(dialogs_) {
    WireHandlers(s_);
    started_ = Form_Load(s_, [] { return false; });
    window_ = std::make_unique<MainWindow>(s_.w);
    window_->show();
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  template <typename T>
  T* Widget(const char* name, int index = -1) {
    return Find<T>(*window_, name, index);
  }

  window::ScriptedDialogs dialogs_;
  AppState s_;
  bool started_ = false;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace vorn::gui
