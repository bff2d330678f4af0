#include "tageditor/TagControl.h"

#include "sonavex/Dispids.h"

#include <vector>

namespace tageditor {

namespace {

using automation::Variant;

Variant Str(const QString& text) { return Variant::Str(text.toStdU16String()); }

}  // namespace

void TagControl::Put(int32_t dispid, const QString& text) const { c_.Put(dispid, Str(text)); }

int32_t TagControl::GetNumber(int32_t dispid) const { return c_.Get(dispid).whole(); }

void TagControl::PutNumber(int32_t dispid, int16_t value) const { c_.Put(dispid, Variant::I2(value)); }

bool TagControl::Succeeds(int32_t dispid, std::initializer_list<QString> texts) const {
  std::vector<Variant> args;
  for (const QString& t : texts) args.push_back(Str(t));
  Variant result;
  if (c_.Invoke(dispid, AUTO_INVOKE_METHOD, args, &result) != AUTO_S_OK) return false;
  return result.type() == AUTO_VT_BOOL && result.boolean();
}

bool TagControl::SucceedsAt(int32_t dispid, int16_t index, std::initializer_list<QString> texts) const {
  std::vector<Variant> args{Variant::I2(index)};
  for (const QString& t : texts) args.push_back(Str(t));
  Variant result;
  if (c_.Invoke(dispid, AUTO_INVOKE_METHOD, args, &result) != AUTO_S_OK) return false;
  return result.type() == AUTO_VT_BOOL && result.boolean();
}

void TagControl::Run(int32_t dispid) const { c_.Call(dispid); }

QString TagControl::LastErrorText() const {
  if (!c_ || c_.Call(SX_AUDIOGetLastErrorNumber).whole() == 0) return {};
  return QString::fromStdU16String(c_.Call(SX_AUDIOGetLastErrorText).str());
}

}  // namespace tageditor
