// A main window's state with scripted message boxes, for driving the analysis on
// byte layouts built in the test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/marker_analysis.h"
#include "analysis/segment_parsers.h"
#include "app/analyze.h"
#include "app/app_state.h"
#include "app/wiring.h"
#include "support/jpeg_builder.h"
#include "support/test_app.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct AnalysisHarness : TestApp {
  // The parsers' view of the state, for calling one parser alone.
  AnalysisContext ctx = AnalysisContextOf(app);
  AnalysisHarness() {
    FillMarkerName(analysis);
    WireAnalysisHandlers(app);
  }

  // Replaces the file image and analyses it from start, as after a load (start 0)
  // or a change of the analysis start. Messages of earlier runs are forgotten.
  bool Analyse(const std::vector<uint8_t>& bytes, int32_t start = 0) {
    file.bytes = bytes;
    analysis.AnalysisStart = start;
    dialogs.messages.clear();
    return AnalyzeMarkers(app);
  }

  const std::vector<std::string>& Lines() const { return form.LOG.lines; }
  std::vector<std::string> Messages() const { return dialogs.Texts(); }
  int32_t Address(int line) const { return analysis.LineAddress[line]; }
};

// A position as a LOG line shows it: eight upper-case hexadecimal digits.
inline std::string Pos8(int64_t pos) {
  char text[20];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(pos));
  return text;
}

// The LOG line of a marker found at pos with the given description.
inline std::string FoundLine(int64_t pos, const std::string& description) {
  return Pos8(pos) + ":" + description + "が見つかりました";
}

// SOI, APP0, DQT, SOF0, DHT, SOS, data, EOI: a grey 8 x 8 baseline picture with
// every marker once, and where each marker lies.
struct MinimalFile {
  std::vector<uint8_t> bytes;
  int32_t app0 = 0, dqt = 0, sof = 0, dht = 0, sos = 0, data = 0, eoi = 0;
};

inline MinimalFile BuildMinimal() {
  MinimalFile f;
  JpegBuilder b;
  b.Soi();
  f.app0 = b.Size();
  b.App0Jfif();
  f.dqt = b.Size();
  b.Dqt(0, FlatQuant(8));
  f.sof = b.Size();
  b.Sof0(8, 8, Grey());
  f.dht = b.Size();
  b.Dht({StandardLuminanceDc(), StandardLuminanceAc()});
  f.sos = b.Size();
  b.Sos(GreyScan());
  f.data = b.Size();
  BitWriter scan;
  scan.PutBlock(StandardLuminanceDc(), StandardLuminanceAc(), 0);
  b.Raw(scan.Finish());
  f.eoi = b.Size();
  b.Eoi();
  f.bytes = b.Bytes();
  return f;
}

}  // namespace vorn::testing
