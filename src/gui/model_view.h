// What every widget of the main window shares: it mirrors one model element and
// hands the user's actions to the model through the window.
#pragma once

#include <functional>

namespace vorn::gui {

// Runs a model event on behalf of a widget; the window re-syncs every widget after it.
using Forward = std::function<void(const std::function<void()>& event)>;

class ModelView {
 public:
  virtual ~ModelView() = default;
  // Brings the widget up to date with its element; sets only what changed.
  virtual void SyncFromModel() = 0;
};

}  // namespace vorn::gui
