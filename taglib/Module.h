// Module-wide state of the tag library: one copy in the process, shared by all
// control instances (they are all called from the host's one thread).
#pragma once

#include "WString.h"

#include <cstdint>

namespace sonavex {

extern int32_t g_nFileSize;    // size of the file being analysed or detected
extern int32_t g_nID3V2Size;   // leading ID3v2 tag, header included: where the audio begins
extern int32_t g_nAPESize;     // APE tag near the end of the file
extern int32_t g_nID3V1Size;   // 128 when the file ends in an ID3v1 tag
extern int32_t g_nLyricsSize;  // Lyrics3 block in front of the ID3v1 tag
extern int32_t g_nLastError;   // errno value, or one of the library's own numbers 201-210
extern bool g_bAnalyzeAllFrames;

// The library's own error numbers.
enum : int32_t {
  kErrLyricsNeedsID3V1 = 201,
  kErrUnsupportedFrame = 202,
  kErrLanguageLength = 203,
  kErrTooManyFrames = 204,
  kErrTagMissing = 205,
  kErrMP4NotWritable = 207,
  kErrIdOutOfRange = 208,
  kErrSyncLyricsParse = 209,
  kErrTagNotAllowed = 210,
};

// Text of an error number: the library's own string for 201..299 ("" when it
// has none), the C runtime's message otherwise (0 included).
WString ErrorText(int32_t number);

// The library has no windows of its own: texts it would show in a message box
// (the about box, out-of-memory reports) go to a handler that the host sets.
using MessageHandler = void (*)(const char16_t* caption, const char16_t* text, void* user);
void SetMessageHandler(MessageHandler handler, void* user);
void ShowMessage(const WString& caption, const WString& text);

// Version of the library: one pair of constants used by the version member,
// the type library, the registration and the property exchange.
constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 0;

}  // namespace sonavex
