// Setting a control from code and then applying it: the control takes the
// value (a value outside its range leaves it as it was; without a value it
// keeps its own) and its handler runs once afterwards with the index,
// whether or not the value changed.
#pragma once

#include "ui/Controls.h"

#include <cstdint>
#include <optional>

namespace djvp {
class MainState;
}

namespace effects {

template <typename Handler>
void SetAndRun(djvp::MainState& s, djvp::ui::Slider& control, std::optional<int64_t> value, Handler handler,
               int index) {
  if (value) {
    const djvp::ui::EventBlocker once(control);
    control.setValue(*value);
  }
  handler(s, index);
}

}  // namespace effects
