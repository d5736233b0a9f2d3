// What the marker analysis and the segment parsers read and write: the file image,
// the records and table stores they fill, the marker and LOG bookkeeping, the
// window fields that show the segments, and the message boxes that report a stop.
#pragma once

#include <string>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "analysis/records.h"
#include "window/dialogs.h"
#include "window/window_model.h"

namespace vorn {

struct AnalysisContext {
  const FileImage& file;
  Records& rec;
  AnalysisState& analysis;
  window::WindowModel& form;
  window::Dialogs& dialogs;

  // Shows a modal message box titled "Vorn".
  window::Answer Message(const std::string& text, window::Buttons buttons = window::Buttons::Ok) const {
    return dialogs.MessageBox(text, buttons);
  }
};

// Whether a parser lets the analysis go on.
enum class ParseVerdict { GoOn, Stop };

}  // namespace vorn
