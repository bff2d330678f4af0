// Members of the control itself: the version and the about box.
#include "Module.h"
#include "SonavexCtrl.h"

#include <string>

namespace sonavex {

std::u16string CSonavexCtrl::GetSonavexVersion() {
  const std::string v = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
  return FromUtf8(v);
}

void CSonavexCtrl::AboutBox() {
  // The library has no windows: the host's message handler shows the text
  // modally and returns when the user closes it.
  ShowMessage(u"About Sonavex2", u"Sonavex2 Control, version " + GetSonavexVersion() +
                                     u"\nReads and writes the tags of audio files.");
}

}  // namespace sonavex
