// Setting a control from code and then applying it: the control takes the
// value (a value outside its range leaves it as it was) and its handler
// runs once afterwards with the index, whether or not the value changed.
#pragma once

#include "ui/Controls.h"

#include <cstdint>

namespace djvp {
class MainState;
}

namespace effects {

template <typename Handler>
void SetAndRun(djvp::MainState& s, djvp::ui::Slider& control, int64_t value, Handler handler, int index) {
  {
    const djvp::ui::EventBlocker once(control);
    control.setValue(value);
  }
  handler(s, index);
}

}  // namespace effects
