// vorn-cli drives the window's own handlers on a window model nobody sees; every
// message box is answered (OK, Yes) and printed to stderr as "Vorn: TEXT".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "window/dialogs.h"

namespace vorn::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitError = 2;
// The output could not be written: refused before the work (its folder is missing or
// closed to the user, it is read-only or not a file) or failed while written.
inline constexpr int kExitNotWritten = 3;
inline constexpr int kExitUnsupported = 4;  // check, repair: a valid file the decoder does not read
inline constexpr int kExitSalvaged = 5;     // salvage: OUT written, some MCUs made up

struct CliSession {
  CliSession();
  window::ScriptedDialogs dialogs;
  AppState state{dialogs};
};

// Options shared by the subcommands; parsing removes them from args.
struct CommonOptions {
  std::optional<int32_t> start;  // --start HEX
  // --main-image: "メイン画像から解析しますか" is asked (and answered Yes) after a load
  // whose analysis a thumbnail's markers stopped; without it, nothing is asked.
  bool mainImage = false;
};

// Parses "--start HEX" and "--main-image" out of args. Returns false (after printing
// why) on a bad value.
bool TakeCommonOptions(std::vector<std::string>& args, CommonOptions& options);

// Loads path as a load does (analysis from 0, messages printed, no rendering, the
// main image as --main-image says), then applies --start. On success returns kExitOk with completed set to
// whether the last analysis ran to its end, and renders it when render is set and it completed (making
// the pixels of pixelRows only, see RenderImage). Returns
// kExitError (after printing why) when the file cannot be read, is of another format
// or --start names no marker.
int LoadAndAnalyse(CliSession& session, const std::string& path, const CommonOptions& options, bool render,
                   bool& completed, PixelRows pixelRows = {});

// Prints "vorn-cli: MESSAGE" to stderr and returns kExitError.
int UsageError(const std::string& message);
// Says that path could not be read and why; returns kExitError.
int ReadFailure(const std::string& path, const FileError& error);
// Why a file could not be read or written, in the system's words ("Permission
// denied", "Is a directory"), or "the file is empty" ...
std::string ReadFailureReason(const FileError& error);
// Prints "vorn-cli: cannot write PATH (REASON)"; returns kExitNotWritten.
int WriteFailure(const std::string& path, const FileError& error);

// Checks an output before any work. asSave: the output is written as the save command
// writes (the ".jpg" rule; a refusal also prints the message the save would show).
// Returns kExitOk, kExitError for a name the command does not write, or
// kExitNotWritten (after printing why, as a failed write would).
int CheckOutput(const std::string& path, bool asSave);

// The text on one output line: the line breaks a message or a comment may hold
// become spaces.
std::string OneLine(std::string text);

// Parses a hexadecimal number (no prefix); false when it is not one or leaves 31 bits.
bool ParseHex(const std::string& text, int32_t& value);
// Parses a non-negative decimal number.
bool ParseDecimal(const std::string& text, int32_t& value);

// Subcommands: args are what follows the subcommand's name.
int RunAnalyze(std::vector<std::string> args);
int RunDecode(std::vector<std::string> args);
int RunMcu(std::vector<std::string> args);
int RunTrace(std::vector<std::string> args);
int RunBitcheck(std::vector<std::string> args);
int RunFix(std::vector<std::string> args);
int RunCheck(std::vector<std::string> args);
int RunRepair(std::vector<std::string> args);
int RunSalvage(std::vector<std::string> args);

}  // namespace vorn::cli
