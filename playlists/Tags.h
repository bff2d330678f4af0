// Reading the tags of a song through a tag library control (the window's
// MainState::Sonavex1, or a control of its own), member by member. The
// control keeps what it read from the file analysed last: Analyze a file
// before reading its fields. Every read on a missing control, and every
// failed call, gives an empty text or 0.
#pragma once

#include "automation/Host.h"

#include <QString>

#include <cstdint>

namespace playlists {

// Format numbers of the tag library.
constexpr int16_t kFormatNone = 0, kFormatMpeg = 1, kFormatWma = 2, kFormatFlac = 4, kFormatOgg = 6;

class Tags {
 public:
  explicit Tags(const automation::DispatchPtr& control) : c_(control) {}
  // Reads the file; its format number (0 for a file the library does not
  // know or cannot open).
  int16_t Analyze(const QString& path) const;
  // A text property or a member without arguments, by dispatch number.
  QString Text(int32_t dispid) const;
  // A member taking a list index (counted from 1).
  QString TextAt(int32_t dispid, int16_t index) const;
  int32_t Int(int32_t dispid) const;
  double Real(int32_t dispid) const;
  bool Boolean(int32_t dispid) const;

 protected:
  const automation::DispatchPtr& c_;
};

}  // namespace playlists
