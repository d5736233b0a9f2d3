#include "cli/cli_session.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "analysis/file_errors.h"
#include "analysis/hex.h"
#include "app/analyze.h"
#include "app/file_commands.h"
#include "app/render.h"
#include "app/segment_list.h"
#include "app/wiring.h"

namespace vorn::cli {

CliSession::CliSession() {
  dialogs.onMessage = [](const std::string& text) { std::cerr << "Vorn: " << OneLine(text) << '\n'; };
  WireHandlers(state);
  Form_Load(state, [] { return false; });
}

int UsageError(const std::string& message) {
  std::cerr << "vorn-cli: " << message << '\n';
  return kExitError;
}

std::string ReadFailureReason(const FileError& error) {
  if (error.code == kFileTooLarge) return "larger than 2147483647 bytes";
  if (error.code == kEmptyFile) return "the file is empty";
  if (error.sysError == kNotRegularFile) return "not a regular file";
  if (error.sysError > 0) {
    char buffer[128];
    return strerror_r(error.sysError, buffer, sizeof buffer);  // files are checked on several threads
  }
  return "error " + std::to_string(error.code);
}

int WriteFailure(const std::string& path, const FileError& error) {
  std::cerr << "vorn-cli: cannot write " << path << " (" << ReadFailureReason(error) << ")\n";
  return kExitNotWritten;
}

int CheckOutput(const std::string& path, bool asSave) {
  if (asSave && !HasJpgEnding(path)) {
    std::cerr << "Vorn: 正しいファイル名を指定して下さい\n";
    return kExitError;
  }
  const FileError error = CheckWritable(path);
  if (error.ok()) return kExitOk;
  if (asSave) std::cerr << "Vorn: " << OneLine(FileErrorMessage(error, FileAccess::Write)) << '\n';
  return WriteFailure(path, error);
}

int ReadFailure(const std::string& path, const FileError& error) {
  return UsageError("cannot read " + path + " (" + ReadFailureReason(error) + ")");
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

bool ParseHex(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 8) return false;
  int64_t v = 0;
  for (char c : text) {
    const int d = HexDigitValue(c);
    if (d < 0) return false;
    v = v * 16 + d;
  }
  if (v > 0x7FFFFFFF) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool ParseDecimal(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  int32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

bool TakeCommonOptions(std::vector<std::string>& args, CommonOptions& options) {
  const auto mainImage = std::remove(args.begin(), args.end(), std::string("--main-image"));
  options.mainImage = mainImage != args.end();
  args.erase(mainImage, args.end());
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--start") continue;
    int32_t v = 0;
    if (i + 1 >= args.size() || !ParseHex(args[i + 1], v)) {
      UsageError("--start needs a hexadecimal file position");
      return false;
    }
    options.start = v;
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return true;
}

int LoadAndAnalyse(CliSession& session, const std::string& path, const CommonOptions& options, bool render,
                   bool& completed, PixelRows pixelRows) {
  AppState& app = session.state;
  // The load itself never renders: only the last analysis is drawn.
  const LoadResult load =
      LoadFileImage(app, path, false, options.mainImage ? MainImageAnswer::Ask : MainImageAnswer::No);
  if (!load.error.ok()) return ReadFailure(path, load.error);
  if (load.foreign) return kExitError;  // the message said which format it is
  completed = load.completed;
  if (options.start) {
    const StartChange change = ChangeAnalysisStart(app, *options.start, false);
    if (change == StartChange::NotAMarker) return kExitError;
    completed = change == StartChange::Completed;
  }
  if (render && completed) RenderImage(app, pixelRows);
  return kExitOk;
}

}  // namespace vorn::cli
