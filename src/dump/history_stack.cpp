#include <algorithm>
#include <cstddef>
#include <utility>

#include "dump/dump_state.h"

namespace vorn {

void HistoryStack::Push(const HistoryEntry& e) {
  for (int i = 15; i > 0; --i) Entries[i] = std::move(Entries[i - 1]);
  Entries[0] = e;
}

void HistoryStack::Pop() {
  for (int i = 0; i < 15; ++i) Entries[i] = std::move(Entries[i + 1]);
  Entries[15] = HistoryEntry{};
}

std::optional<HistoryEntry> ReplayRecord(FileImage& file, const HistoryEntry& record) {
  const int32_t length = file.FileLength();
  if (record.SingleByte()) {
    HistoryEntry reverse{.Address = record.Address, .Length = length, .PutBack = {file.At(record.Address)}};
    // Resize before storing, so that a record pointing past the present end never
    // writes outside the image.
    if (record.Length > 0) file.bytes.resize(static_cast<size_t>(record.Length));
    if (file.Contains(record.Address)) file.bytes[static_cast<size_t>(record.Address)] = record.PutBack[0];
    return reverse;
  }
  const int64_t address = record.Address;
  const int64_t takeOut = record.TakeOut;
  const int64_t putBack = static_cast<int64_t>(record.PutBack.size());
  if (record.Length < 1 || takeOut < 0 || address < 0 || address + takeOut > length ||
      int64_t{length} - takeOut + putBack != record.Length)
    return std::nullopt;
  const auto at = file.bytes.begin() + static_cast<std::ptrdiff_t>(address);
  HistoryEntry reverse{.Address = record.Address,
                       .Length = length,
                       .TakeOut = static_cast<int32_t>(putBack),
                       .PutBack = std::vector<uint8_t>(at, at + static_cast<std::ptrdiff_t>(takeOut))};
  // The common part is overwritten in place; only the difference moves the rest.
  const int64_t common = std::min(takeOut, putBack);
  const auto putFrom = record.PutBack.begin();
  std::copy(putFrom, putFrom + static_cast<std::ptrdiff_t>(common), at);
  const auto after = at + static_cast<std::ptrdiff_t>(common);
  if (putBack > common)
    file.bytes.insert(after, putFrom + static_cast<std::ptrdiff_t>(common), record.PutBack.end());
  else
    file.bytes.erase(after, after + static_cast<std::ptrdiff_t>(takeOut - common));
  return reverse;
}

}  // namespace vorn
