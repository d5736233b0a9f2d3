// vorn-cli check [--json] [--jobs N] [--syntax] FILE...: whether the scan of each file
// is whole (with --syntax: whether it decodes, whatever its picture shows), checked N
// files at a time (one a core by default), one line a file in argument order.
// vorn-cli repair [--json] [--max-edits N] [--time-limit SECONDS] FILE -o OUT.jpg: the
// verified repair, written (as the save command writes) only when the scan then checks
// clean, within a time limit.
// vorn-cli salvage [--json] [--reference REF.jpg] FILE -o OUT.jpg: when the verified
// repair finds nothing, the MCUs that decode kept, the lost ones made up and listed;
// a file whose headers are destroyed salvaged with REF's.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

#include "analysis/file_signature.h"
#include "analysis/hex.h"
#include "analysis/main_image.h"
#include "app/analyze.h"
#include "app/file_commands.h"
#include "app/main_image_restart.h"
#include "app/repair_commands.h"
#include "cli/cli_session.h"
#include "cli/damage_text.h"
#include "jpeg/marker_codes.h"
#include "salvage/header_graft.h"
#include "salvage/salvage_scan.h"

namespace vorn::cli {

namespace {

// Analyses bytes as a load would, but only up to the data of the first scan: nothing
// in the scan data (a damaged one may hold any marker) and nothing after the image
// stops the analysis. The session's file image then holds what was analysed, not
// bytes: the callers read bytes themselves, and a copy would hold the file twice.
struct Prepared {
  bool completed = false;
  std::string firstMessage;  // of an analysis that stopped
  // Why the file, though valid JPEG, is none the decoder reads; empty when nothing
  // says so.
  std::string unsupported;
  std::unique_ptr<ScanModel> model;
  std::string problem;  // the analysis completed, but the scan cannot be decoded
  // Bytes after the EOI that ends the first scan; -1: no scan found.
  int64_t trailing = -1;
};

// The class of edit whose own margin a calibrated choice is fitted for.
const char* EvidenceKind(EditKind kind) {
  switch (kind) {
    case EditKind::SetBit:
    case EditKind::ClearBit:
      return "bit";
    case EditKind::Remove:
      return "remove";
    case EditKind::RestoreStuffing:
      return "stuffing";
    case EditKind::Replace:
      return "replace";
    case EditKind::Insert:
      return "insert";
    default:
      return "marker";
  }
}

// A valid file the decoder does not read: another frame type than baseline, a frame
// header beyond the decoder's limits (its analysis stopped there with stopMessage),
// or a first scan that holds fewer components than the frame (one scan a component).
std::string UnsupportedReason(const FileImage& file, const AnalysisState& analysis, const Records& rec,
                              uint8_t frameCode, bool completed, const std::string& stopMessage) {
  if (frameCode != 0 && frameCode != marker::kSOF0) return analysis.MarkerName[frameCode];
  if (completed) {
    const int16_t inScan = rec.scan.ScanComponentCount;
    return inScan < rec.frame.ComponentCount ? "スキャン開始の成分数がフレームの成分数より少ないです" : "";
  }
  const AnalysisStop& stop = analysis.LastStop;
  const int64_t p = stop.Position;
  if (stop.StopKind != AnalysisStop::Kind::Parser || !file.Contains(p + 8) || file.At(p + 1) != marker::kSOF0)
    return "";
  // A header cut short, or a width of 0, is no frame at all; every other field the
  // frame header refuses is one an encoder may write.
  const int64_t end = p + 2 + file.At(p + 2) * 256 + file.At(p + 3);
  if (end > file.FileLength() || (file.At(p + 7) == 0 && file.At(p + 8) == 0)) return "";
  return stopMessage;
}

Prepared Prepare(CliSession& session, const std::vector<uint8_t>& bytes) {
  AppState& app = session.state;
  Prepared prepared;
  if (const std::string format = ForeignFormatOf(bytes); !format.empty()) {
    prepared.firstMessage = ForeignFormatMessage(format);  // and no analysis
    return prepared;
  }
  uint8_t frameCode = 0;
  const int64_t scanData = FirstScanData(bytes, &frameCode);
  if (scanData >= 0) {
    const int64_t end = ImageEndAfter(bytes, scanData);
    prepared.trailing = end >= 0 ? static_cast<int64_t>(bytes.size()) - end : 0;
    app.file.bytes.assign(bytes.begin(), bytes.begin() + scanData);
    app.file.bytes.push_back(0xFF);
    app.file.bytes.push_back(0xD9);
  } else {
    app.file.bytes = bytes;
  }
  size_t before = session.dialogs.messages.size();
  app.analysis.AnalysisStart = 0;
  prepared.completed = AnalyzeMarkers(app);
  if (!prepared.completed) {
    // A camera file: the markers of its EXIF thumbnail stopped the analysis, which
    // starts again at the main image, as the window does when told Yes.
    const size_t restartFrom = session.dialogs.messages.size();
    const MainImageRestart restart = RestartAtMainImage(app, MainImageAnswer::Yes, false);
    prepared.completed = restart == MainImageRestart::Completed;
    if (restart == MainImageRestart::Stopped) before = restartFrom;
  }
  const auto& messages = session.dialogs.messages;
  const std::string stopMessage = messages.size() > before ? OneLine(messages.back().text) : "";
  prepared.unsupported =
      UnsupportedReason(app.file, app.analysis, app.rec, frameCode, prepared.completed, stopMessage);
  if (!prepared.completed) {
    if (messages.size() > before) prepared.firstMessage = OneLine(messages[before].text);
    return prepared;
  }
  if (!prepared.unsupported.empty()) return prepared;
  prepared.model = ScanModelOf(app.rec, prepared.problem);
  return prepared;
}

enum class Status { Ok, Damaged, Stopped, Unreadable, Unsupported };

struct Checked {
  Status status = Status::Ok;
  DamageReport report;
  std::string message;  // Stopped, Unreadable, Unsupported; why an Undecodable scan is
  int64_t trailing = -1;
};

// bytes: room for the file, kept by each worker from file to file.
Checked CheckOne(const std::string& path, std::vector<uint8_t>& bytes, bool syntaxOnly,
                 DecodeThreads threads) {
  Checked checked;
  CliSession session;
  session.dialogs.onMessage = nullptr;  // files are checked side by side: no messages
  const FileError error = ReadWholeFileInto(path, bytes);
  if (!error.ok()) {
    checked.status = Status::Unreadable;
    checked.message = ReadFailureReason(error);
    return checked;
  }
  const Prepared prepared = Prepare(session, bytes);
  checked.trailing = prepared.trailing;
  if (!prepared.unsupported.empty()) {
    checked.status = Status::Unsupported;
    checked.message = prepared.unsupported;
    return checked;
  }
  if (!prepared.completed) {
    checked.status = Status::Stopped;
    checked.message = prepared.firstMessage;
    return checked;
  }
  if (!prepared.model) {
    checked.status = Status::Damaged;
    checked.report.health = ScanHealth::Damaged;
    checked.report.reason.kind = DamageKind::Undecodable;
    checked.message = prepared.problem;
    checked.report.position = MakeBitPos(session.state.rec.scan.ScanDataStart, 0);
    return checked;
  }
  checked.report =
      syntaxOnly ? CheckSyntax(*prepared.model, bytes) : CheckDamage(*prepared.model, bytes, threads);
  checked.status = checked.report.health == ScanHealth::Clean ? Status::Ok : Status::Damaged;
  return checked;
}

// The length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8Length(const std::string& text, size_t i) {
  const auto at = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0; };
  const unsigned char c = at(0);
  const auto follows = [&](size_t k, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
    return at(k) >= lo && at(k) <= hi;
  };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return follows(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    // No overlong forms, no UTF-16 surrogates.
    const bool second = c == 0xE0 ? follows(1, 0xA0) : c == 0xED ? follows(1, 0x80, 0x9F) : follows(1);
    return second && follows(2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const bool second = c == 0xF0 ? follows(1, 0x90) : c == 0xF4 ? follows(1, 0x80, 0x8F) : follows(1);
    return second && follows(2) && follows(3) ? 4 : 0;
  }
  return 0;
}

// A JSON string. A byte that is not part of valid UTF-8 (a file name may hold any
// bytes) becomes \u00XX, XX the byte, so that the line stays valid JSON.
std::string Json(const std::string& text) {
  const char* digits = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8Length(text, i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += text[i];
    } else if (c < 0x20 || length == 0) {
      out += "\\u00";
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out.append(text, i, length);
      i += length;
      continue;
    }
    ++i;
  }
  return out + "\"";
}

std::string TrailingJson(int64_t trailing) {
  return trailing >= 0 ? std::to_string(trailing) : std::string("null");
}

std::string CheckLine(const std::string& path, const Checked& c) {
  switch (c.status) {
    case Status::Ok:
      return path + ": ok";
    case Status::Damaged:
      return path + ": damaged MCU (" + std::to_string(c.report.column) + "," + std::to_string(c.report.row) +
             ") at " + BitPosText(c.report.position) + ": " + DamageText(c.report.reason, c.message);
    case Status::Stopped:
      return path + ": stopped: " + c.message;
    case Status::Unreadable:
      return path + ": unreadable: " + c.message;
    case Status::Unsupported:
      return path + ": unsupported: " + c.message;
  }
  return path;
}

std::string CheckJson(const std::string& path, const Checked& c) {
  static const char* const kStatus[] = {"ok", "damaged", "stopped", "unreadable", "unsupported"};
  const bool analysed = c.status == Status::Ok || c.status == Status::Damaged;
  const bool damaged = c.status == Status::Damaged;
  std::string out = "{\"file\":" + Json(path) + ",\"status\":\"" + kStatus[static_cast<int>(c.status)] + "\"";
  out += ",\"mcu\":" + (damaged
                            ? "[" + std::to_string(c.report.column) + "," + std::to_string(c.report.row) + "]"
                            : std::string("null"));
  out += ",\"position\":" + (damaged ? Json(BitPosText(c.report.position)) : std::string("null"));
  out += ",\"reason\":" + (damaged                  ? Json(DamageText(c.report.reason, c.message))
                           : c.status == Status::Ok ? "null"
                                                    : Json(c.message));
  out += ",\"mcus_decoded\":" + (analysed ? std::to_string(c.report.mcusDecoded) : std::string("null"));
  out += ",\"mcus_expected\":" + (analysed ? std::to_string(c.report.mcusExpected) : std::string("null"));
  out += ",\"trailing_bytes\":" + TrailingJson(analysed ? c.trailing : -1);
  return out + "}";
}

// A number of seconds, 0 or more (a decimal fraction allowed).
bool ParseSeconds(const std::string& text, double& seconds) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return false;
  seconds = value;
  return true;
}

// "\rrepair: 42%" on stderr while a repair runs, once it has run for a second, when
// stderr is a terminal; Clear removes the line.
class RepairProgress {
 public:
  RepairProgress() : terminal_(isatty(STDERR_FILENO) != 0), started_(std::chrono::steady_clock::now()) {}
  void Show(double fraction) {
    if (!terminal_ || std::chrono::steady_clock::now() - started_ < std::chrono::seconds(1)) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
    if (percent == shown_) return;
    shown_ = percent;
    std::cerr << "\rrepair: " << percent << '%' << std::flush;
  }
  void Clear() {
    if (shown_ >= 0) std::cerr << "\r\033[K" << std::flush;
  }

 private:
  bool terminal_;
  std::chrono::steady_clock::time_point started_;
  int shown_ = -1;
};

// Writes bytes to output as the save command itself writes, as after a save dialog
// answered with OUT; false (with the reason, and the lines a failed write prints)
// when it cannot.
bool WriteOutput(CliSession& session, const std::vector<uint8_t>& bytes, const std::string& output,
                 std::string& notWritten) {
  const size_t before = session.dialogs.messages.size();
  const FileError saved = SaveBytes(session.dialogs, bytes, output);
  for (size_t i = before; i < session.dialogs.messages.size(); ++i)
    std::cerr << "Vorn: " << OneLine(session.dialogs.messages[i].text) << '\n';
  if (saved.ok()) return true;
  notWritten = ReadFailureReason(saved);
  WriteFailure(output, saved);
  return false;
}

int Threads() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// Files checked at a time when --jobs does not say: one a core.
int Cores() {
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

// More workers than this are not started, whatever --jobs asks.
constexpr int32_t kMaxJobs = 256;

// The keys every command that writes OUT ends its JSON with: "output", "written",
// "write_error".
std::string WrittenJson(bool written, const std::string& output, const std::string& notWritten) {
  return ",\"output\":" + (written ? Json(output) : std::string("null")) + ",\"written\":" +
         (written ? "true" : "false") +
         ",\"write_error\":" + (notWritten.empty() ? std::string("null") : Json(notWritten));
}

}  // namespace

int RunCheck(std::vector<std::string> args) {
  bool json = false;
  bool syntaxOnly = false;
  int32_t jobs = Cores();
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--syntax") {
      syntaxOnly = true;
    } else if (a == "--jobs") {
      if (i + 1 >= args.size() || !ParseDecimal(args[i + 1], jobs) || jobs < 1)
        return UsageError("check: --jobs needs a number of 1 or more");
      ++i;
    } else if (a == "--main-image") {
      // Always so: a camera file is checked on its main image.
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("check: unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return UsageError("check: usage: check [--json] [--jobs N] [--syntax] FILE...");

  std::vector<Checked> results(files.size());
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::mutex progressLock;
  const bool progress = isatty(STDERR_FILENO) != 0;
  const int threads = static_cast<int>(std::min<size_t>(std::min(jobs, kMaxJobs), files.size()));
  // Files checked side by side keep the cores busy already: each is checked on its
  // worker's thread alone.
  const DecodeThreads perFile = threads > 1 ? DecodeThreads::One : DecodeThreads::Automatic;
  // Each worker holds one file at a time: at most jobs files are in memory.
  auto work = [&] {
    std::vector<uint8_t> bytes;
    for (size_t i = next++; i < files.size(); i = next++) {
      results[i] = CheckOne(files[i], bytes, syntaxOnly, perFile);
      const size_t n = ++done;
      if (progress) {
        std::lock_guard<std::mutex> lock(progressLock);
        std::cerr << "\rchecked " << n << " of " << files.size() << std::flush;
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  if (progress) std::cerr << "\r\033[K" << std::flush;

  bool damaged = false, unreadable = false, unsupported = false;
  for (size_t i = 0; i < files.size(); ++i) {
    const Status status = results[i].status;
    std::cout << (json ? CheckJson(files[i], results[i]) : CheckLine(files[i], results[i])) << '\n';
    damaged = damaged || status == Status::Damaged || status == Status::Stopped;
    unreadable = unreadable || status == Status::Unreadable;
    unsupported = unsupported || status == Status::Unsupported;
  }
  if (unreadable) return kExitError;
  if (damaged) return kExitStopped;
  return unsupported ? kExitUnsupported : kExitOk;
}

int RunRepair(std::vector<std::string> args) {
  bool json = false;
  int32_t maxEdits = 4;
  double timeLimit = -1;  // by the file's size
  std::string output;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--main-image") {
      // Always so: a camera file is repaired on its main image.
    } else if (a == "--max-edits") {
      if (i + 1 >= args.size() || !ParseDecimal(args[i + 1], maxEdits))
        return UsageError("repair: --max-edits needs a number");
      ++i;
    } else if (a == "--time-limit") {
      if (i + 1 >= args.size() || !ParseSeconds(args[i + 1], timeLimit))
        return UsageError("repair: --time-limit needs a number of seconds");
      ++i;
    } else if (a == "-o") {
      if (i + 1 >= args.size()) return UsageError("repair: -o needs a file name");
      output = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("repair: unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1 || output.empty())
    return UsageError(
        "repair: usage: repair [--json] [--max-edits N] [--time-limit SECONDS] FILE -o OUT.jpg");
  const std::string& path = positional[0];
  if (const int refused = CheckOutput(output, true); refused != kExitOk) return refused;

  CliSession session;
  session.dialogs.onMessage = nullptr;
  std::vector<uint8_t> bytes;
  const FileError error = ReadWholeFileInto(path, bytes);
  if (!error.ok()) return ReadFailure(path, error);
  SearchControl control;
  control.deadline =
      timeLimit >= 0 ? Deadline::After(timeLimit)
                     : Deadline::After(DefaultTimeLimit(static_cast<int64_t>(bytes.size())), false);
  const Prepared prepared = Prepare(session, bytes);

  std::vector<ScanEdit> applied;
  bool timedOut = false;
  RepairResult result = RepairResult::NotRepaired;
  std::vector<uint8_t> repaired = bytes;
  const bool unsupported = !prepared.unsupported.empty();
  if (unsupported) {
    std::cerr << "vorn-cli: " << path << ": unsupported: " << prepared.unsupported << '\n';
  } else if (!prepared.completed) {
    std::cerr << "vorn-cli: " << path << ": stopped: " << prepared.firstMessage << '\n';
  } else if (!prepared.model) {
    std::cerr << "vorn-cli: " << path << ": the scan cannot be decoded: " << prepared.problem << '\n';
  } else {
    RepairProgress progress;
    control.threads = Threads();
    control.progress = [&progress](double fraction) { progress.Show(fraction); };
    // For fitting the choice rule on many damaged files (scripts/repair-eval), never
    // for a user's file: the best-fitting edit is taken whatever its margins.
    control.calibrate = std::getenv("VORN_REPAIR_CALIBRATE") != nullptr;
    const RepairRun run = RepairScan(*prepared.model, repaired, maxEdits, control);
    progress.Clear();
    for (size_t i = 0; i < run.evidence.size(); ++i) {
      const ChoiceEvidence& e = run.evidence[i];
      std::cerr << "evidence: " << EditNotation(run.applied[i]) << " kind=" << EvidenceKind(run.applied[i].kind)
                << " lone=" << e.lone
                << " other=" << e.otherWindow << " unweighed=" << e.unweighed << " margins=";
      for (size_t k = 0; k < e.margins.size(); ++k)
        std::cerr << (k ? "," : "") << e.margins[k].votes << '/' << e.margins[k].levels;
      std::cerr << '\n';
    }
    applied = run.applied;
    result = run.result;
    timedOut = run.timedOut && result == RepairResult::NotRepaired;
  }

  std::string notWritten;  // why a repaired file could not be written
  const bool written =
      result == RepairResult::Repaired && WriteOutput(session, repaired, output, notWritten);
  const char* text = unsupported                        ? "unsupported"
                     : result == RepairResult::Repaired ? "repaired"
                     : result == RepairResult::Clean    ? "clean"
                                                        : "not repaired";
  if (json) {
    std::string line = "{\"file\":" + Json(path) + ",\"result\":\"" + text + "\",\"edits\":[";
    for (size_t i = 0; i < applied.size(); ++i) line += (i ? "," : "") + Json(EditNotation(applied[i]));
    line += "]" + WrittenJson(written, output, notWritten);
    line += ",\"trailing_bytes\":" + TrailingJson(prepared.trailing);
    std::cout << line << (timedOut ? ",\"time_limit_reached\":true}" : "}") << '\n';
  } else {
    for (const ScanEdit& e : applied) std::cout << EditNotation(e) << '\n';
    std::cout << "result: " << text << (timedOut ? " (time limit reached)" : "");
    if (!notWritten.empty()) std::cout << " (not written: " << notWritten << ")";
    std::cout << '\n';
  }
  if (result == RepairResult::Repaired && !written) return kExitNotWritten;
  if (unsupported) return kExitUnsupported;
  return result == RepairResult::NotRepaired ? kExitStopped : kExitOk;
}

namespace {

std::string McuJson(const ScanModel& model, int32_t mcu) {
  const int32_t perRow = model.geometry.McusPerRow;
  return "[" + std::to_string(mcu % perRow) + "," + std::to_string(mcu / perRow) + "]";
}

std::string RangesJson(const ScanModel* model, const std::vector<McuRange>& ranges) {
  std::string out = "[";
  for (size_t i = 0; i < ranges.size() && model; ++i) {
    const McuRange& r = ranges[i];
    out += (i ? "," : "") + std::string("{\"first\":") + McuJson(*model, r.first) +
           ",\"last\":" + McuJson(*model, r.first + r.count - 1) + ",\"count\":" + std::to_string(r.count) + "}";
  }
  return out + "]";
}

}  // namespace

int RunSalvage(std::vector<std::string> args) {
  bool json = false;
  std::string output, reference;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--reference") {
      if (i + 1 >= args.size()) return UsageError("salvage: --reference needs a file name");
      reference = args[++i];
    } else if (a == "--main-image") {
      // Always so, as for repair.
    } else if (a == "-o") {
      if (i + 1 >= args.size()) return UsageError("salvage: -o needs a file name");
      output = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("salvage: unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1 || output.empty())
    return UsageError("salvage: usage: salvage [--json] [--reference REF.jpg] FILE -o OUT.jpg");
  const std::string& path = positional[0];
  if (const int refused = CheckOutput(output, true); refused != kExitOk) return refused;

  CliSession session;
  session.dialogs.onMessage = nullptr;
  std::vector<uint8_t> bytes;
  const FileError error = ReadWholeFileInto(path, bytes);
  if (!error.ok()) return ReadFailure(path, error);
  const Prepared prepared = Prepare(session, bytes);
  const bool unsupported = !prepared.unsupported.empty();
  // The exact repair first: salvage never stands in for it.
  std::string text = "not salvaged";
  SalvageRun salvage;
  CliSession referenceSession;
  referenceSession.dialogs.onMessage = nullptr;
  std::vector<uint8_t> referenceBytes;
  Prepared referencePrepared;
  if (unsupported) {
    std::cerr << "vorn-cli: " << path << ": unsupported: " << prepared.unsupported << '\n';
    text = "unsupported";
  } else if (!prepared.completed || !prepared.model) {
    // The headers missing or destroyed: another file's, from the same camera, read the
    // data.
    if (!prepared.completed)
      std::cerr << "vorn-cli: " << path << ": stopped: " << prepared.firstMessage << '\n';
    else
      std::cerr << "vorn-cli: " << path << ": the scan cannot be decoded: " << prepared.problem << '\n';
    if (reference.empty()) {
      std::cerr
          << "vorn-cli: " << path
          << ": if its headers are destroyed, salvage it with --reference REF.jpg, a photo from the same "
             "camera and settings\n";
    } else if (const FileError refError = ReadWholeFileInto(reference, referenceBytes); !refError.ok()) {
      return ReadFailure(reference, refError);
    } else if (referencePrepared = Prepare(referenceSession, referenceBytes); !referencePrepared.model) {
      std::cerr << "vorn-cli: " << reference << ": the reference's scan cannot be decoded\n";
    } else {
      salvage = SalvageWithReference(*referencePrepared.model, referenceBytes, bytes);
      if (salvage.result == SalvageResult::Salvaged) text = "salvaged";
      if (salvage.result == SalvageResult::NotSalvaged)
        std::cerr << "vorn-cli: " << path << ": " << salvage.why << '\n';
    }
  } else {
    SearchControl control;
    control.deadline = Deadline::After(DefaultTimeLimit(static_cast<int64_t>(bytes.size())), false);
    control.threads = Threads();
    SalvageAttempt attempt = SalvageUnlessRepairable(*prepared.model, bytes, control);
    if (attempt.repair == RepairResult::Clean) {
      text = "clean";
    } else if (attempt.repair == RepairResult::Repaired) {
      text = "not salvaged (repair restores it exactly)";
    } else {
      salvage = std::move(attempt.run);
      if (salvage.result == SalvageResult::Clean) text = "clean";
      if (salvage.result == SalvageResult::Salvaged) text = "salvaged";
      if (salvage.result == SalvageResult::NotSalvaged)
        std::cerr << "vorn-cli: " << path << ": " << salvage.why << '\n';
    }
  }
  const bool salvaged = salvage.result == SalvageResult::Salvaged;
  std::string notWritten;
  const bool written = salvaged && WriteOutput(session, salvage.bytes, output, notWritten);
  const ScanModel* model = prepared.model ? prepared.model.get() : referencePrepared.model.get();
  if (json) {
    std::string line = "{\"file\":" + Json(path) + ",\"result\":" + Json(salvaged ? "salvaged" : text);
    line += ",\"made_up\":" + RangesJson(model, salvage.madeUp);
    line += ",\"shifted\":" + RangesJson(model, salvage.shifted);
    line += ",\"steps\":[";
    for (size_t i = 0; i < salvage.steps.size(); ++i) line += (i ? "," : "") + Json(salvage.steps[i]);
    line += std::string("],\"new_tables\":") + (salvage.newTables ? "true" : "false");
    line += WrittenJson(written, output, notWritten);
    std::cout << line << "}\n";
  } else {
    for (const std::string& step : salvage.steps) std::cout << step << '\n';
    std::cout << "result: " << text;
    if (!notWritten.empty()) std::cout << " (not written: " << notWritten << ")";
    std::cout << '\n';
  }
  if (salvaged) return written ? kExitSalvaged : kExitNotWritten;
  if (unsupported) return kExitUnsupported;
  return text == "clean" ? kExitOk : kExitStopped;
}

}  // namespace vorn::cli
