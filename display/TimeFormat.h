// The text of a deck's time display: " mm:ss.cc" below an hour, " hh:mm:ss"
// from an hour on.
#pragma once

#include <QString>

namespace djvp {

// Seconds as a deck's time labels show them: a blank, then minutes, seconds
// and hundredths (" 01:01.50"), or from one hour on hours, minutes and
// seconds (" 01:01:01"); each part at least two digits. The hundredths are
// those of the single-precision value, cut off, not rounded. A negative,
// infinite or NaN input (a stream that is gone, a position past the song's
// end) shows as " 00:00.00".
QString TimeToString(float seconds);

}  // namespace djvp
