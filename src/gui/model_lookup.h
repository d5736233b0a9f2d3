// Finds a window-model element by the name the layout table gives it.
#pragma once

#include <string_view>

#include "window/window_model.h"

namespace vorn::gui {

// At most one pointer is set: the element's, by its kind.
struct ElementRef {
  window::Label* label = nullptr;
  window::Command* command = nullptr;
  window::TextField* textField = nullptr;
  window::ListBox* list = nullptr;
  window::Picture* picture = nullptr;
  window::ScrollBar* scrollBar = nullptr;

  bool Found() const { return label || command || textField || list || picture || scrollBar; }
};

// Element `index` of the field array `name`, or the single element `name` (index 0).
// Nothing is set when the model has no such element.
ElementRef FindElement(window::WindowModel& form, std::string_view name, int index = 0);

}  // namespace vorn::gui
