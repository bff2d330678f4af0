// The tag library members the editor calls, by dispatch number, on one
// control: texts cross as UTF-16 automation strings, item numbers as 16-bit
// integers.
#pragma once

#include "automation/Host.h"
#include "playlists/Tags.h"

#include <QString>

#include <cstdint>
#include <initializer_list>

namespace tageditor {

// The reads (Analyze, Text, TextAt, Int) are the playlists' tag reader's.
class TagControl : public playlists::Tags {
 public:
  explicit TagControl(const automation::DispatchPtr& control) : Tags(control) {}

  // A property put (which changes the control's memory).
  void Put(int32_t dispid, const QString& text) const;
  // A whole-number property (16-bit), and its put.
  int32_t GetNumber(int32_t dispid) const;
  void PutNumber(int32_t dispid, int16_t value) const;
  // A method given texts (and, first, an item number when `index` is set),
  // that answers a switch: false also when the call itself fails.
  bool Succeeds(int32_t dispid, std::initializer_list<QString> texts) const;
  bool SucceedsAt(int32_t dispid, int16_t index, std::initializer_list<QString> texts) const;
  // A method without arguments and without a result.
  void Run(int32_t dispid) const;
  // The text of the control's last error ("" when there is none).
  QString LastErrorText() const;

};

}  // namespace tageditor
