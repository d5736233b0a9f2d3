// Dump page, selection, and the correction history.
#pragma once

#include <array>
#include <cstdint>

namespace vorn {

struct HistoryEntry {
  int32_t Address = 0;
  uint8_t Byte = 0;
  int32_t Length = 0;  // the FileLength to put back; 0 marks an empty entry
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
