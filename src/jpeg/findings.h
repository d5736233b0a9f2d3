// What the parsers find wrong in a file, as values: which finding, about which
// marker, where, and a number when it has one. The parsers write no text; the
// analysis turns findings into the window's lines and message boxes.
#pragma once

#include <cstdint>
#include <vector>

namespace vorn {

enum class FindingKind {
  // The length field at offset (the segment's marker + 2) cannot be used (8000h or
  // more), or the segment runs past the end of the file.
  BadLength,
  // DQT: a table's precision is not 0, its identifier neither 0 nor 1, a value falls
  // by more than 55 from the one before it, a value is 0 (taken as 1).
  QuantPrecisionNotZero,
  QuantIdNotZeroOrOne,
  QuantSteepDrop,
  QuantZero,
  // APP0: the identifier at offset is not "JFIF".
  App0NotJfif,
  // Refusals: the segment cannot be used and the analysis stops. marker names the
  // marker the refusal is about (SOF0 for every frame header).
  FramePrecisionNotEight,
  FrameHeightZero,
  FrameHeightOver4000,
  FrameWidthZero,
  FrameWidthOver4000,
  FrameComponentsOver3,
  FrameComponentIdOver3,
  FrameHSamplingOver2,
  FrameVSamplingOver2,
  FrameNoQuantTable,
  FrameBlocksOver6,
  ScanComponentsOver3,
  ScanSelectorOver3,
  ScanDcSelectorOver2,
  ScanAcSelectorOver2,
  HuffClassOver1,
  HuffIdOver1,
  HuffTooManyCodes,
  HuffRepeatedSymbol,
  HuffZeroSizeSymbol,
  // The marker scan and its checks. MarkerLimit: the scan listed as many markers as
  // it lists (the analysis stops). TrailingData: value bytes follow the scanned part
  // of the file, from offset on.
  MarkerLimit,
  TrailingData,
  // The marker counts: marker is missing or repeated, in the analysis's words for
  // it; the Stop kinds end the analysis.
  CountMissing,
  CountRepeated,
  CountThreeOrMore,
  CountFiveOrMore,
  CountMissingStop,
  CountRepeatedStop,
  // The file does not begin with SOI.
  NoStartingSoi,
  // The length field of the segment of marker (its low byte at offset) does not lead
  // to the next marker.
  LengthNotToMarker,
};

struct Finding {
  FindingKind kind = FindingKind::BadLength;
  uint8_t marker = 0;  // the second byte of the marker it is about
  int32_t offset = 0;  // the file position it refers to
  int64_t value = 0;   // a count, for the kinds that carry one
  bool operator==(const Finding&) const = default;
};

using Findings = std::vector<Finding>;

}  // namespace vorn
