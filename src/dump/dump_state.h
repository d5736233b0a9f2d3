// Dump page, selection, and the correction history.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "analysis/file_image.h"

namespace vorn {

// A record puts back what a change took away. A correction of one byte takes out the
// byte at Address and puts Byte back; a repair that inserted or removed bytes takes
// out what it inserted (TakeOut bytes) and puts back what it removed (PutBack bytes:
// Byte, then Byte2), so that the file's length changes back as well.
struct HistoryEntry {
  int32_t Address = 0;
  uint8_t Byte = 0;
  int32_t Length = 0;  // the FileLength to put back; 0 marks an empty entry
  uint8_t Byte2 = 0;
  uint8_t TakeOut = 1;  // 0..2 bytes of the present file at Address
  uint8_t PutBack = 1;  // 0..2 bytes that replace them
  bool SingleByte() const { return TakeOut == 1 && PutBack == 1; }
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
// stores its byte where the file holds that position. A record that changes the
// length applies only where it fits the file as it is now (its bytes inside the
// file, its length the file's length after it); otherwise nothing changes and the
// result is empty.
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
