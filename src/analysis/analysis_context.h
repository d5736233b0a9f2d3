// What the marker analysis and the segment parsers read and write: the file image,
// the document they fill, the marker and LOG bookkeeping, the window fields that
// show the segments, and the message boxes that report a stop.
#pragma once

#include <string>

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "jpeg/document.h"
#include "jpeg/segment_parsers.h"
#include "window/dialogs.h"
#include "window/window_model.h"

namespace vorn {

struct AnalysisContext {
  const FileImage& file;
  JpegDocument& rec;
  AnalysisState& analysis;
  window::WindowModel& form;
  window::Dialogs& dialogs;

  // Shows a modal message box titled "Vorn".
  window::Answer Message(const std::string& text, window::Buttons buttons = window::Buttons::Ok) const {
    return dialogs.MessageBox(text, buttons);
  }
};

}  // namespace vorn
