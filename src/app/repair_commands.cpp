#include "app/repair_commands.h"

#include "analysis/hex.h"

namespace vorn {

std::unique_ptr<ScanModel> ScanModelOf(const AppState& app, std::string& problem) {
  auto model = std::make_unique<ScanModel>();
  const int32_t interval = RestartIntervalOf(app.file, app.analysis, app.rec.scan.ScanDataStart);
  if (!BuildScanModel(app.rec, interval, *model, problem)) return nullptr;
  return model;
}

std::string BitPosText(BitPos position) {
  return Hex8(static_cast<int32_t>(position >> 3)) + "-" + std::to_string(position & 7);
}

}  // namespace vorn
