#include "salvage/header_graft.h"

#include <algorithm>

#include "jpeg/marker_codes.h"
#include "salvage/baseline_encoder.h"

namespace vorn {

namespace {

// The decode of a candidate start must run this many MCUs strictly.
constexpr int32_t kCleanMcus = 64;
// A run of this many 00 bytes is no scan data: the destroyed part ends after it.
constexpr int64_t kZeroRun = 32;
// How far into the file the destroyed part is looked for.
constexpr int64_t kSearchBytes = 160 * 1024;

// A copy of the reference's scan header in the file: the data after it.
int64_t AfterScanHeader(std::span<const uint8_t> referenceBytes, int64_t sosMarker, int64_t scanStart,
                        std::span<const uint8_t> file) {
  const auto header =
      referenceBytes.subspan(static_cast<size_t>(sosMarker), static_cast<size_t>(scanStart - sosMarker));
  const auto at = std::search(file.begin(), file.end(), header.begin(), header.end());
  return at == file.end() ? -1
                          : static_cast<int64_t>(at - file.begin()) + static_cast<int64_t>(header.size());
}

// After the first restart marker that a whole interval follows, ended by the next
// marker in turn.
int64_t AfterRestartMarker(const ScanModel& model, std::span<const uint8_t> file) {
  const PatchedBytes patched(file.data(), static_cast<int64_t>(file.size()));
  StrictDecoder decoder(model);
  const int64_t last = std::min<int64_t>(static_cast<int64_t>(file.size()) - 2, kSearchBytes);
  for (int64_t p = 0; p < last; ++p) {
    if (file[static_cast<size_t>(p)] != marker::kFill ||
        !marker::IsRestartMarker(file[static_cast<size_t>(p + 1)]))
      continue;
    ScanPoint start;
    start.next = MakeBitPos(p + 2, 0);
    NullSink sink;
    const DecodeStop stop = decoder.Run(patched, start, model.restartInterval, sink);
    const auto next = static_cast<uint8_t>(0xD0 + ((file[static_cast<size_t>(p + 1)] - 0xD0 + 1) & 7));
    if (stop.kind == StopKind::AtMarker && stop.paddingOnes && stop.mcu == model.restartInterval &&
        (stop.marker == next || stop.marker == marker::kEOI))
      return p + 2;
  }
  return -1;
}

// The first byte after the destroyed part from which the data decodes strictly for
// many MCUs (a decode begun there finds the data's own MCUs within a few).
int64_t CleanDataStart(const ScanModel& model, std::span<const uint8_t> file) {
  const auto size = static_cast<int64_t>(file.size());
  const int64_t limit = std::min(size, kSearchBytes);
  int64_t from = 0;
  for (int64_t i = 0; i < limit;) {
    if (file[static_cast<size_t>(i)] != 0) {
      ++i;
      continue;
    }
    int64_t j = i;
    while (j < size && file[static_cast<size_t>(j)] == 0) ++j;
    if (j - i >= kZeroRun) from = j;
    i = j;
  }
  ScanModel relaxed;
  RelaxDc(model, relaxed);
  const PatchedBytes patched(file.data(), size);
  StrictDecoder decoder(relaxed);
  for (int64_t p = from; p < limit; ++p) {
    if (file[static_cast<size_t>(p)] == marker::kFill ||
        (p > 0 && file[static_cast<size_t>(p - 1)] == marker::kFill))
      continue;
    for (int bit = 0; bit < 8; ++bit) {
      ScanPoint start;
      start.next = MakeBitPos(p, bit);
      NullSink sink;
      const DecodeStop stop = decoder.Run(patched, start, kCleanMcus, sink);
      if (stop.kind == StopKind::Limit) return p;
    }
  }
  return -1;
}

}  // namespace

bool GraftHeader(const ScanModel& reference, std::span<const uint8_t> referenceBytes,
                 std::span<const uint8_t> file, GraftedFile& out, std::string& why) {
  HeaderTables tables;
  if (!ReadHeaderTables(referenceBytes, reference.scanStart, tables, why)) {
    why = "the reference's headers cannot be read: " + why;
    return false;
  }
  out = GraftedFile{};
  if (const int64_t p = AfterScanHeader(referenceBytes, tables.sosMarker, reference.scanStart, file);
      p >= 0) {
    out.dataStart = p;
    out.placeByEnd = false;
    out.how = "the file's data taken after its scan header at byte " + std::to_string(p);
  } else if (reference.restartInterval > 0) {
    out.dataStart = AfterRestartMarker(reference, file);
    out.how = "the file's data taken from the restart marker at byte " + std::to_string(out.dataStart - 2);
  } else {
    out.dataStart = CleanDataStart(reference, file);
    out.how = "the file's data taken from byte " + std::to_string(out.dataStart) +
              ", where it decodes cleanly with the reference's tables";
  }
  if (out.dataStart < 0) {
    why = "no scan data that the reference's tables decode was found in the file";
    return false;
  }
  out.bytes.assign(referenceBytes.begin(), referenceBytes.begin() + reference.scanStart);
  out.bytes.insert(out.bytes.end(), file.begin() + out.dataStart, file.end());
  return true;
}

SalvageRun SalvageWithReference(const ScanModel& reference, std::span<const uint8_t> referenceBytes,
                                std::span<const uint8_t> file) {
  GraftedFile grafted;
  SalvageRun run;
  if (!GraftHeader(reference, referenceBytes, file, grafted, run.why)) return run;
  run = SalvageScan(reference, grafted.bytes, grafted.placeByEnd);
  if (run.result == SalvageResult::Clean) {
    // The scan is whole: the headers alone were lost.
    run.result = SalvageResult::Salvaged;
    run.bytes = grafted.bytes;
  }
  run.steps.insert(run.steps.begin(), {"headers taken from the reference", grafted.how});
  return run;
}

}  // namespace vorn
