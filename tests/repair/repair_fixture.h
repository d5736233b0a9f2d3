// A file analysed as the window analyses it, with the repair engine's model of its
// scan, for the repair tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "app/main_image_restart.h"
#include "app/repair_commands.h"
#include "repair/damage_locator.h"
#include "repair/intact_damage.h"
#include "repair/repair_scan.h"
#include "window/dialogs.h"

namespace vorn::testing {

struct AnalysedScan {
  window::ScriptedDialogs dialogs;
  std::unique_ptr<AppState> app = std::make_unique<AppState>(dialogs);
  std::unique_ptr<ScanModel> model;

  // Analyses bytes from position 0; false when the analysis stops or the scan has
  // no model.
  bool Load(const std::vector<uint8_t>& bytes) {
    FillMarkerName(app->analysis);
    app->file.bytes = bytes;
    app->analysis.AnalysisStart = 0;
    // A camera file: the markers of its thumbnail stop the analysis, which starts
    // again at the main image, as vorn-cli does.
    if (!AnalyzeMarkers(*app) &&
        RestartAtMainImage(*app, MainImageAnswer::Yes, false) != MainImageRestart::Completed)
      return false;
    std::string problem;
    model = ScanModelOf(app->rec, problem);
    return model != nullptr;
  }

  // The report, which the check's way of telling a whole scan gives too.
  DamageReport Locate(const std::vector<uint8_t>& bytes) {
    ScanPass pass;
    DamageReport report = LocateDamage(*model, bytes, pass);
    const DamageReport checked = CheckDamage(*model, bytes, DecodeThreads::One);
    EXPECT_EQ(checked.health, report.health);
    // The picture's checks on a second thread beside the decode tell the same.
    EXPECT_EQ(ScanLooksWhole(*model, bytes, DecodeThreads::Two),
              ScanLooksWhole(*model, bytes, DecodeThreads::One));
    EXPECT_EQ(checked.reason, report.reason);
    EXPECT_EQ(checked.position, report.position);
    EXPECT_EQ(checked.mcusDecoded, report.mcusDecoded);
    // The check of the syntax alone: the same report, but damage seen only in the
    // picture passes.
    const DamageReport syntax = CheckSyntax(*model, bytes);
    const bool pictureOnly = report.health == ScanHealth::Damaged && report.syntaxIntact;
    EXPECT_EQ(syntax.health, pictureOnly ? ScanHealth::Clean : report.health);
    if (!pictureOnly) {
      EXPECT_EQ(syntax.reason, report.reason);
    }
    return report;
  }
};

// The damage kinds the repair undoes, made as a card or a transfer makes them.
enum class Damage { Flip, Overwrite, Remove, Insert, LostStuffing };

// bytes with the damage at position p (arg: the bit for Flip, the value for
// Overwrite and Insert).
inline std::vector<uint8_t> Damaged(std::vector<uint8_t> bytes, Damage kind, size_t p, int arg = 0) {
  switch (kind) {
    case Damage::Flip:
      bytes[p] = static_cast<uint8_t>(bytes[p] ^ (0x80 >> arg));
      break;
    case Damage::Overwrite:
      bytes[p] = static_cast<uint8_t>(arg);
      break;
    case Damage::Remove:
    case Damage::LostStuffing:
      bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(p));
      break;
    case Damage::Insert:
      bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(p), static_cast<uint8_t>(arg));
      break;
  }
  return bytes;
}

}  // namespace vorn::testing
