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

}  // namespace vorn
