#include "app/wiring.h"

#include "inspect/bit_check.h"
#include "inspect/mcu_check.h"
#include "inspect/mcu_pointer.h"

namespace vorn {

void WireInspectHandlers(AppState& s) {
  s.w.Picture1.onMouseDown = [&s](int button, int shift, float x, float y) {
    Picture1_MouseDown(s, button, shift, x, y);
  };
  s.w.MCUCHK.onClick = [&s] { MCUCHK_Click(s); };
  s.w.BITCHK.onClick = [&s] { BITCHK_Click(s); };
}

}  // namespace vorn
