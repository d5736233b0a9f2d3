// Placeholders until each subcommand lands; each is deleted as it is implemented.
#include "cli/cli_session.h"

namespace vorn::cli {
int RunAnalyze(std::vector<std::string>) { return UsageError("analyze: not yet available"); }
int RunMcu(std::vector<std::string>) { return UsageError("mcu: not yet available"); }
int RunTrace(std::vector<std::string>) { return UsageError("trace: not yet available"); }
int RunBitcheck(std::vector<std::string>) { return UsageError("bitcheck: not yet available"); }
int RunFix(std::vector<std::string>) { return UsageError("fix: not yet available"); }
}  // namespace vorn::cli
