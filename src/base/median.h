// The median of a sample, for the robust scales that thresholds are measured in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vorn {

// The middle value (the upper of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

}  // namespace vorn
