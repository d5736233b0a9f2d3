// State of the marker analysis and of the message list LOG's positions.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vorn {

inline constexpr int kMaxLogLines = 1000;

struct MarkerEntry {
  int32_t Code = 0;      // second byte of the marker
  int32_t Position = 0;  // position of its FF byte
};

// Where the last analysis stopped; an embedded thumbnail's markers are a stop the
// window can offer to step past.
struct AnalysisStop {
  enum class Kind { None, MarkerLimit, CountCheck, Parser };
  Kind StopKind = Kind::None;  // None: the analysis ran to its end
  int16_t CountCheck = 0;      // CountCheck: which check of the marker counts stopped it
  int32_t Position = 0;        // Parser: the position of the marker whose parser stopped it
};

struct AnalysisState {
  std::array<std::string, 256> MarkerName;  // filled once at start-up
  std::array<int16_t, 256> MarkerCount{};
  std::array<MarkerEntry, kMaxLogLines> MarkerTable{};
  int16_t MarkerTableCount = 0;  // entries 0 .. MarkerTableCount - 1 are the last scan's
  // For every line of LOG, the file position it refers to. Changed only by the
  // functions of message_log.h, which keep both in step with LOG's lines.
  std::array<int32_t, kMaxLogLines> LineAddress{};
  int16_t LogLineCount = 0;
  int32_t AnalysisStart = 0;
  // Where the marker scan ends: just after the EOI of the main image, when the user
  // chose to analyse that image alone and bytes trail it; -1: the end of the file.
  int32_t AnalysisEnd = -1;
  int32_t ScanDataEnd = 0;  // last byte of entropy-coded data
  AnalysisStop LastStop;
};

}  // namespace vorn
