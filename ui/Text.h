// The interface texts as the program's code shows them: entry n of the
// string table in the current language. The lookups never throw, so that a
// missing entry can never escape from an event handler.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace djvp::ui {

// The text; "" when the table has no such entry.
QString T(int32_t n);
// The text; nothing when the table has no such entry.
std::optional<QString> FindText(int32_t n);

}  // namespace djvp::ui
