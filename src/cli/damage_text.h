// The words of check's line and JSON for why a scan is damaged.
#pragma once

#include <string>

#include "repair/damage_locator.h"

namespace vorn::cli {

// The reason in words; problem says why a scan is Undecodable.
std::string DamageText(const DamageReason& reason, const std::string& problem = "");

}  // namespace vorn::cli
