// Dump page, selection, and the correction history.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/file_image.h"

namespace vorn {

// A record puts back what a change took away: TakeOut bytes of the present file at
// Address give way to the PutBack bytes, and the file's length becomes Length. A
// correction of one byte takes out one byte and puts one back; a repair or any other
// edit may replace, insert (TakeOut 0) or remove (no PutBack) a range of any length.
struct HistoryEntry {
  int32_t Address = 0;
  int32_t Length = 0;  // the FileLength to put back; 0 marks an empty entry
  int32_t TakeOut = 1;
  std::vector<uint8_t> PutBack{};
  bool SingleByte() const { return TakeOut == 1 && PutBack.size() == 1; }
  bool operator==(const HistoryEntry&) const = default;
};

// 16 Entries, entry 0 the most recent. Empty when entry 0's length is 0.
struct HistoryStack {
  std::array<HistoryEntry, 16> Entries{};
  bool Empty() const { return Entries[0].Length == 0; }
  // Entries 0..14 move to 1..15 (the oldest is dropped); the record goes to 0.
  void Push(const HistoryEntry& e);
  // Entries 1..15 move to 0..14; entry 15 becomes empty.
  void Pop();
  void Clear() { Entries.fill(HistoryEntry{}); }
};

// Carries out a record on file and returns the record that reverses it. A one-byte
// record first sets the file's length to the record's (keeping the content), then
// stores its byte where the file holds that position. Any other record applies only
// where it fits the file as it is now (the bytes it takes out inside the file, its
// length the file's length after it); otherwise nothing changes and the result is
// empty.
std::optional<HistoryEntry> ReplayRecord(FileImage& file, const HistoryEntry& record);

// SelectedPage after a jump has moved the selected cell to a page other than the
// one it was clicked on: no page matches, so typed input waits for a cell click.
inline constexpr int32_t kNoSelectedPage = -1;

struct DumpState {
  int32_t DumpPage = 0;
  int32_t SelectedCell = 0;
  int32_t SelectedPage = 0;  // the page of the last cell click, or kNoSelectedPage
  HistoryStack UndoStack;
  HistoryStack RedoStack;
};

}  // namespace vorn
