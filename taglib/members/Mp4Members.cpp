// Mp4 members of the control: not built yet; each answers as the bare control.
#include "SonavexCtrl.h"

namespace sonavex {

std::u16string CSonavexCtrl::GetMP4Album() { return {}; }
void CSonavexCtrl::SetMP4Album(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Artist() { return {}; }
void CSonavexCtrl::SetMP4Artist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Author() { return {}; }
void CSonavexCtrl::SetMP4Author(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4BeatsPerMinute() { return {}; }
void CSonavexCtrl::SetMP4BeatsPerMinute(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4CDSetNumber() { return {}; }
void CSonavexCtrl::SetMP4CDSetNumber(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Comment() { return {}; }
void CSonavexCtrl::SetMP4Comment(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Compilation() { return {}; }
void CSonavexCtrl::SetMP4Compilation(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Composer() { return {}; }
void CSonavexCtrl::SetMP4Composer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Copyright() { return {}; }
void CSonavexCtrl::SetMP4Copyright(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Date() { return {}; }
void CSonavexCtrl::SetMP4Date(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Description() { return {}; }
void CSonavexCtrl::SetMP4Description(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Director() { return {}; }
void CSonavexCtrl::SetMP4Director(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Disclaimer() { return {}; }
void CSonavexCtrl::SetMP4Disclaimer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Encoder() { return {}; }
void CSonavexCtrl::SetMP4Encoder(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Genre() { return {}; }
void CSonavexCtrl::SetMP4Genre(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4NetUrl() { return {}; }
void CSonavexCtrl::SetMP4NetUrl(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4OriginalArtist() { return {}; }
void CSonavexCtrl::SetMP4OriginalArtist(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4OriginalFormat() { return {}; }
void CSonavexCtrl::SetMP4OriginalFormat(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4OriginalSource() { return {}; }
void CSonavexCtrl::SetMP4OriginalSource(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Performer() { return {}; }
void CSonavexCtrl::SetMP4Performer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Producer() { return {}; }
void CSonavexCtrl::SetMP4Producer(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Title() { return {}; }
void CSonavexCtrl::SetMP4Title(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Track() { return {}; }
void CSonavexCtrl::SetMP4Track(const std::u16string&) {}
std::u16string CSonavexCtrl::GetMP4Warning() { return {}; }
void CSonavexCtrl::SetMP4Warning(const std::u16string&) {}
int32_t CSonavexCtrl::MP4GetPictureCount() { return 0; }
bool CSonavexCtrl::MP4LoadPicture(const std::u16string&, int16_t) { return false; }

}  // namespace sonavex
