// Everything one main window owns, grouped by subsystem. Only this layer's handlers
// (named after a window event) and orchestrators (AnalyzeMarkers, LoadFileImage,
// RenderImage, TraceScan ...) take the whole state; the subsystems below take only
// the parts they use.
#pragma once

#include "analysis/analysis_state.h"
#include "analysis/file_image.h"
#include "decode/decode_state.h"
#include "dump/dump_state.h"
#include "inspect/inspect_state.h"
#include "jpeg/document.h"
#include "window/dialogs.h"
#include "window/window_model.h"

namespace vorn {

struct AppState {
  explicit AppState(window::Dialogs& d) : dialogs(d) {}
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  window::Dialogs& dialogs;
  window::WindowModel form;  // the main window F_main
  FileImage file;
  AnalysisState analysis;
  JpegDocument rec;  // the analysed file: its records and segments
  DecodeState decode;
  InspectState inspect;
  DumpState dump;
  // True while no completed analysis or decode stands behind the display; presses
  // on the picture are ignored then. Changed only by SetImageInvalid.
  bool ImageInvalid = true;
  // True once the bytes differ from what was last loaded or saved (an applied
  // correction or repair, an undo or redo, a stored edit): loading another file or
  // ending asks first. Changed only by SetUnsaved.
  bool Unsaved = false;

  // Shows a modal message box titled "Vorn".
  window::Answer Message(const std::string& text, window::Buttons buttons = window::Buttons::Ok) {
    return dialogs.MessageBox(text, buttons);
  }
};

}  // namespace vorn
