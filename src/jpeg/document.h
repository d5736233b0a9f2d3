// A JPEG file as plain values: what its segments hold, as the parsers read them.
// It knows no window; the analysis shows it and the decoder, the tracer and the
// repair engine read it.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/records.h"

namespace vorn {

// A DRI segment: its marker at Offset, its length field (-1 when it cannot be used)
// and the interval it defines (read where it belongs whatever the length).
struct RestartSegment {
  int32_t Offset = 0;
  int32_t Length = -1;
  uint16_t Interval = 0;
  bool operator==(const RestartSegment&) const = default;
};

// The records (frame, scan, tables, APP0) are kept from parse to parse and
// overwritten field by field, so a table the current file does not define keeps an
// earlier file's values. The parts below are the last parse's alone: StartParse
// empties them.
struct JpegDocument : Records {
  std::vector<RestartSegment> Restarts;  // every DRI whose interval was read, in file order
  // MCUs per restart interval in the scan: the last DRI that lies before the scan's
  // data; 0 when there is none. Set by FinishParse.
  int32_t RestartInterval = 0;

  void StartParse() {
    Restarts.clear();
    RestartInterval = 0;
  }
  // Once every segment is parsed: what follows from them all.
  void FinishParse() {
    for (const RestartSegment& dri : Restarts)
      if (dri.Offset < scan.ScanDataStart) RestartInterval = dri.Interval;
  }
};

}  // namespace vorn
