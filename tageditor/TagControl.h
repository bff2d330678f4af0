// The tag library members the editor calls, by dispatch number, on one
// control: texts cross as UTF-16 automation strings, item numbers as 16-bit
// integers.
#pragma once

#include "automation/Host.h"

#include <QString>

#include <cstdint>
#include <initializer_list>

namespace tageditor {

class TagControl {
 public:
  explicit TagControl(const automation::DispatchPtr& control) : c_(control) {}

  // AUDIOAnalyzeFile: the file's format number, 0 when it cannot be read.
  int16_t Analyze(const QString& path) const;
  // A text property; a property put (which changes the control's memory).
  QString Get(int32_t dispid) const;
  void Put(int32_t dispid, const QString& text) const;
  // A whole-number property (16-bit), and its put.
  int32_t GetNumber(int32_t dispid) const;
  void PutNumber(int32_t dispid, int16_t value) const;
  // A method without arguments that answers a number or a switch.
  int32_t Number(int32_t dispid) const;
  // A method given one item number that answers a text.
  QString TextAt(int32_t dispid, int16_t index) const;
  // A method given texts (and, first, an item number when `index` is set),
  // that answers a switch: false also when the call itself fails.
  bool Succeeds(int32_t dispid, std::initializer_list<QString> texts) const;
  bool SucceedsAt(int32_t dispid, int16_t index, std::initializer_list<QString> texts) const;
  // A method without arguments and without a result.
  void Run(int32_t dispid) const;
  // The text of the control's last error ("" when there is none).
  QString LastErrorText() const;

 private:
  const automation::DispatchPtr& c_;
};

}  // namespace tageditor
