#include "cli/damage_text.h"

#include "analysis/hex.h"
#include "jpeg/marker_codes.h"

namespace vorn::cli {
namespace {

std::string MarkerText(uint8_t code) {
  if (marker::IsRestartMarker(code)) return "RST" + std::to_string(code - marker::kRST0);
  if (code == marker::kEOI) return "EOI";
  return "FF" + Hex2(code);
}

std::string At(BitPos p) {
  return Hex8(static_cast<int32_t>(p >> 3));
}

std::string ComponentText(int component) {
  static const char* const kNames[] = {"Y", "Cb", "Cr"};
  return kNames[component >= 0 && component <= 2 ? component : 0];
}

}  // namespace

std::string DamageText(const DamageReason& r, const std::string& problem) {
  const std::string mcu = "(" + std::to_string(r.column) + "," + std::to_string(r.row) + ")";
  const std::string fails = "decoding fails at MCU " + mcu + ": ";
  const std::string interval = r.interval >= 0 ? "restart interval " + std::to_string(r.interval) : "";
  const std::string in = interval.empty() ? "" : " in " + interval;
  const std::string marker = MarkerText(r.marker) + " at " + At(r.at);
  const std::string counted =
      std::to_string(r.decoded) + " of " + std::to_string(r.expected) + " before " + marker;
  const std::string component = ComponentText(r.component);
  switch (r.kind) {
    case DamageKind::None:
      return "";
    case DamageKind::NoCodeMatches:
      return fails + "no code word matches at " + At(r.at);
    case DamageKind::CoefficientOverrun:
      return fails + "a coefficient past the end of its block";
    case DamageKind::DcOutOfRange:
      return fails + "a DC value out of range";
    case DamageKind::TransformOverflow:
      return fails + "the inverse transform overflows";
    case DamageKind::Implausible:
      return "MCU " + mcu + " holds what no encoder writes: a coefficient larger than " +
             "8-bit samples give, or a run of zeros with nothing after it";
    case DamageKind::MarkerInsideMcu:
      return marker + " inside MCU " + mcu;
    case DamageKind::ForeignMarker:
      return "foreign marker " + marker + " inside the data";
    case DamageKind::EndOfFile:
      return "the file ends inside the scan data";
    case DamageKind::McuLimit:
      return "too many MCUs" + in + ": more than " + std::to_string(r.decoded) + ", " +
             std::to_string(r.expected) + " expected";
    case DamageKind::DecodingStopped:
      return "decoding stopped";
    case DamageKind::TooFewMcus:
      return "too few MCUs" + in + ": " + counted;
    case DamageKind::TooManyMcus:
      return "too many MCUs" + in + ": " + counted;
    case DamageKind::PaddingNotOnes:
      return "padding bits before " + marker + " are not all 1";
    case DamageKind::RestartOutOfSequence:
      return "restart marker out of sequence: " + marker + ", " + MarkerText(r.wanted) + " expected";
    case DamageKind::MarkerOutOfPlace:
      return marker + " where " + MarkerText(r.wanted) + " belongs";
    case DamageKind::IntervalEndsWrongly:
      return "the interval ends wrongly";
    case DamageKind::DataAfterLastMcu:
      return "data left after the last MCU" + (interval.empty() ? "" : " of " + interval) +
             " beyond the padding bits";
    case DamageKind::DcStep:
      return "the DC values of component " + component + " step by " + (r.levels > 0 ? "+" : "") +
             std::to_string(r.levels) + " levels from MCU " + mcu + " on";
    case DamageKind::DcDrift:
      return "the DC values of component " + component + " step from MCU " + mcu +
             " on, as though a bit at " + At(r.at) + " had changed";
    case DamageKind::BlockAtOdds:
      return "a block of component " + component + " in MCU " + mcu +
             " breaks with its neighbours, as though " +
             (r.written ? "the byte at " + At(r.at) + " had been written into the data"
                        : "a bit at " + At(r.at) + " had changed");
    case DamageKind::ShiftedRun: {
      const int places = r.shift < 0 ? -r.shift : r.shift;
      return "the MCUs from MCU " + mcu + " on are out of step: each shows the one " +
             std::to_string(places) + (places == 1 ? " place " : " places ") +
             (r.shift < 0 ? "back" : "further on");
    }
    case DamageKind::Undecodable:
      return "the scan cannot be decoded: " + problem;
  }
  return "";
}

}  // namespace vorn::cli
