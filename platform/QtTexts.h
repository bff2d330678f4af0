// The texts that Qt itself shows (the standard buttons of message boxes and
// button boxes, the file and folder dialogs) in the interface language: Qt's
// own translations as the system installs them (Debian's
// qt6-translations-l10n), chosen by LangOffset like every text of the string
// table.
#pragma once

namespace djvp {

// Installs Qt's Dutch translation when LangOffset is 1000 and removes it
// otherwise; call it after each change of LangOffset. Windows and dialogs
// made afterwards show Qt's texts in that language. Returns false when Qt's
// texts stay English although the interface is Dutch (no application object,
// or the translation is not installed): the program goes on in English
// there.
bool FollowInterfaceLanguage();

}  // namespace djvp
