#include <cstddef>

#include "dump/dump_state.h"

namespace vorn {

void HistoryStack::Push(const HistoryEntry& e) {
  for (int i = 15; i > 0; --i) Entries[i] = Entries[i - 1];
  Entries[0] = e;
}

void HistoryStack::Pop() {
  for (int i = 0; i < 15; ++i) Entries[i] = Entries[i + 1];
  Entries[15] = HistoryEntry{};
}

std::optional<HistoryEntry> ReplayRecord(FileImage& file, const HistoryEntry& record) {
  const int32_t length = file.FileLength();
  if (record.SingleByte()) {
    const HistoryEntry reverse{record.Address, file.At(record.Address), length};
    // Resize before storing, so that a record pointing past the present end never
    // writes outside the image.
    if (record.Length > 0) file.bytes.resize(static_cast<size_t>(record.Length));
    if (file.Contains(record.Address)) file.bytes[static_cast<size_t>(record.Address)] = record.Byte;
    return reverse;
  }
  const int64_t address = record.Address;
  if (record.Length < 1 || record.TakeOut > 2 || record.PutBack > 2 || address < 0 ||
      address + record.TakeOut > length || int64_t{length} - record.TakeOut + record.PutBack != record.Length)
    return std::nullopt;
  HistoryEntry reverse{record.Address,       file.At(address), length,
                       file.At(address + 1), record.PutBack,   record.TakeOut};
  if (reverse.PutBack < 1) reverse.Byte = 0;
  if (reverse.PutBack < 2) reverse.Byte2 = 0;
  const auto at = file.bytes.begin() + static_cast<std::ptrdiff_t>(address);
  const uint8_t putBack[2] = {record.Byte, record.Byte2};
  file.bytes.erase(at, at + record.TakeOut);
  file.bytes.insert(file.bytes.begin() + static_cast<std::ptrdiff_t>(address), putBack,
                    putBack + record.PutBack);
  return reverse;
}

}  // namespace vorn
