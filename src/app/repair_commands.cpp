#include "app/repair_commands.h"

#include "analysis/hex.h"

namespace vorn {

std::string BitPosText(BitPos position) {
  return Hex8(static_cast<int32_t>(position >> 3)) + "-" + std::to_string(position & 7);
}

}  // namespace vorn
