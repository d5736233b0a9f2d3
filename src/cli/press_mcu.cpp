#include "cli/press_mcu.h"

#include <string>

#include "app/inspect_handlers.h"

namespace vorn::cli {

int PressMcu(CliSession& session, int32_t column, int32_t row) {
  AppState& app = session.state;
  const McuGeometry geometry = ComputeMcuGeometry(app.rec.frame);
  if (!geometry.Valid() || column < 0 || row < 0 || column >= geometry.McusPerRow ||
      row >= geometry.McuRows) {
    return UsageError("MCU (" + std::to_string(column) + ", " + std::to_string(row) +
                      ") is outside the picture of " + std::to_string(geometry.McusPerRow) + " x " +
                      std::to_string(geometry.McuRows) + " MCUs");
  }
  app.form.MCUX.text.clear();
  PressMcuCell(app, geometry, column, row);
  if (app.form.MCUX.text.empty()) return UsageError("the press on the picture chose no MCU");
  return kExitOk;
}

}  // namespace vorn::cli
