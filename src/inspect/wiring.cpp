#include "app/wiring.h"

#include "inspect/bit_check.h"
#include "inspect/mcu_check.h"
#include "inspect/mcu_pointer.h"

namespace vorn {

void WireInspectHandlers(AppState& app) {
  app.form.Picture1.onMouseDown = [&app](int button, int shift, float x, float y) {
    Picture1_MouseDown(app, button, shift, x, y);
  };
  app.form.MCUCHK.onClick = [&app] { MCUCHK_Click(app); };
  app.form.BITCHK.onClick = [&app] { BITCHK_Click(app); };
}

}  // namespace vorn
