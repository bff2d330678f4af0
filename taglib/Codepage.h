// The system code page of the tag library: Windows-1252.
#pragma once

#include "WString.h"

#include <string>
#include <string_view>

namespace sonavex {

// Decodes Windows-1252 bytes (the five unassigned bytes map to the C1 controls
// of the same value, as the system conversion does).
WString AnsiToWide(std::string_view bytes);
// Encodes into Windows-1252; characters the code page lacks become '?'.
std::string WideToAnsi(std::u16string_view text);

}  // namespace sonavex
