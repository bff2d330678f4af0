#include "Module.h"

#include "automation/Variant.h"

#include <cstring>

namespace sonavex {

std::string ToUtf8(std::u16string_view s) { return automation::ToUtf8(s); }
WString FromUtf8(std::string_view s) { return automation::FromUtf8(s); }

WString UpperAscii(WString s) {
  for (auto& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return s;
}

std::vector<WString> SplitValues(std::u16string_view text) {
  std::vector<WString> values;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(u'\0', pos);
    if (end == std::u16string_view::npos) end = text.size();
    if (end > pos) values.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return values;
}

WString JoinValues(const std::vector<WString>& values) {
  WString text;
  for (const WString& v : values) {
    if (v.empty()) continue;
    if (!text.empty()) text += u'\0';
    text += v;
  }
  return text;
}

WString ErrorText(int32_t number) {
  if (number > 200 && number < 300) {
    switch (number) {
      case 201: return u"ID3v1-Tag missing! Must be present before you can save a Lyrics-Tag!";
      case 202: return u"Unsupported Frame!";
      case 203: return u"The Language ID must be 3 Bytes long!";
      case 204: return u"Too much frames!";
      case 205: return u"Tag doesn't exist!";
      case 207: return u"MP4 Tag writing not supported in this Version!";
      case 208: return u"Id is out of range!";
      case 209: return u"Parser Error: wrong format for id3v2 sync lyrics!";
      case 210: return u"Tag not allowed in this file format!";
      case 211: return u"The file's structure is damaged: it is left as it is!";
      case 212: return u"The file has other names (hard links), and its folder or its file system does not allow the copy of the old file that keeps their change safe!";
      case 213: return u"The file has changed since it was analysed: analyse it again!";
      case 214: return u"Another save of the file is running: try again later!";
      case 215: return u"An earlier save of the file was cut short and its earlier content could not be put back!";
      default: return {};
    }
  }
  // The C runtime's message (glibc texts are ASCII).
  return FromUtf8(std::strerror(number));
}

WString ErrorText(int32_t number, const std::string& path) {
  if (number != kErrSaveUnfinished || path.empty()) return ErrorText(number);
  return u"An earlier save of \"" + FromUtf8(path) +
         u"\" was cut short and its earlier content could not be put back: the file is neither read nor written "
         u"until it is restored from a backup!";
}

namespace {
MessageHandler g_handler = nullptr;
void* g_handlerUser = nullptr;
}  // namespace

void SetMessageHandler(MessageHandler handler, void* user) {
  g_handler = handler;
  g_handlerUser = user;
}

void ShowMessage(const WString& caption, const WString& text) {
  if (g_handler) g_handler(caption.c_str(), text.c_str(), g_handlerUser);
}

}  // namespace sonavex
