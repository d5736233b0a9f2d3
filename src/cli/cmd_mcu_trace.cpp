// vorn-cli mcu [--start HEX] FILE COL ROW: the MCU pointer's fields for one MCU.
// vorn-cli trace [--start HEX] FILE COL ROW: then the MCU check's trace lines.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/press_mcu.h"

namespace vorn::cli {

namespace {

// Loads FILE, renders it and presses MCU (COL, ROW). Returns kExitOk when the
// pointer is set. Nothing printed depends on a pixel: the render makes none.
int PointAtMcu(const std::string& name, std::vector<std::string>& args, CliSession& session) {
  CommonOptions options;
  if (!TakeCommonOptions(args, options)) return kExitError;
  int32_t column = 0;
  int32_t row = 0;
  if (args.size() != 3 || !ParseDecimal(args[1], column) || !ParseDecimal(args[2], row)) {
    return UsageError(name + ": usage: " + name + " [--start HEX] FILE COL ROW");
  }
  bool completed = false;
  const int loaded = LoadAndAnalyse(session, args[0], options, true, completed, PixelRows::None());
  if (loaded != kExitOk) return loaded;
  if (!completed) {
    std::cerr << "vorn-cli: the analysis stopped; there is no picture to point at\n";
    return kExitStopped;
  }
  return PressMcu(session, column, row);
}

}  // namespace

int RunMcu(std::vector<std::string> args) {
  CliSession session;
  if (const int pointed = PointAtMcu("mcu", args, session); pointed != kExitOk) return pointed;
  const window::WindowModel& form = session.state.form;
  std::cout << "MCUX=" << form.MCUX.text << '\n'
            << "MCUY=" << form.MCUY.text << '\n'
            << "MCUBYTE=" << form.MCUBYTE.text << '\n'
            << "MCUBIT=" << form.MCUBIT.text << '\n';
  for (int k = 0; k < 3; ++k) std::cout << "DCV[" << k << "]=" << form.DCV[k].text << '\n';
  return kExitOk;
}

int RunTrace(std::vector<std::string> args) {
  CliSession session;
  if (const int pointed = PointAtMcu("trace", args, session); pointed != kExitOk) return pointed;
  window::WindowModel& form = session.state.form;
  const size_t messagesBefore = session.dialogs.messages.size();
  form.MCUCHK.Click();
  for (const std::string& line : form.LOG.lines) std::cout << line << '\n';
  const auto& messages = session.dialogs.messages;
  const bool clean = messages.size() > messagesBefore && messages.back().text == "正常！";
  return clean ? kExitOk : kExitStopped;
}

}  // namespace vorn::cli
