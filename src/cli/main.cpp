// vorn-cli: the window's handlers, driven headless.
#include <iostream>
#include <string>
#include <vector>

#include "app/about.h"
#include "cli/cli_session.h"

namespace {

const char* const kUsage =
    "usage: vorn-cli analyze [--start HEX] [--main-image] [--fields] FILE\n"
    "       vorn-cli decode [--start HEX] [--main-image] FILE -o OUT.bmp|OUT.png\n"
    "       vorn-cli mcu [--start HEX] [--main-image] FILE COL ROW\n"
    "       vorn-cli trace [--start HEX] [--main-image] FILE COL ROW\n"
    "       vorn-cli bitcheck [--start HEX] [--main-image] FILE COL ROW\n"
    "       vorn-cli fix FILE POS-BIT -o OUT.jpg\n"
    "       vorn-cli check [--json] [--jobs N] [--syntax] FILE...\n"
    "       vorn-cli repair [--json] [--max-edits N] [--time-limit SECONDS] FILE -o OUT.jpg\n"
    "       vorn-cli salvage [--json] [--reference REF.jpg] FILE -o OUT.jpg\n"
    "       vorn-cli --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace vorn::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? std::cerr : std::cout) << kUsage;
    return args.empty() ? kExitError : kExitOk;
  }
  if (args[0] == "--version") {
    std::cout << "vorn-cli " << vorn::ProgramVersion() << '\n';
    return kExitOk;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "analyze") return RunAnalyze(args);
  if (command == "decode") return RunDecode(args);
  if (command == "mcu") return RunMcu(args);
  if (command == "trace") return RunTrace(args);
  if (command == "bitcheck") return RunBitcheck(args);
  if (command == "fix") return RunFix(args);
  if (command == "check") return RunCheck(args);
  if (command == "repair") return RunRepair(args);
  if (command == "salvage") return RunSalvage(args);
  std::cerr << "vorn-cli: unknown command " << command << '\n' << kUsage;
  return kExitError;
}
