#include "playlists/Tags.h"

#include "sonavex/Dispids.h"

#include <cmath>

namespace playlists {

namespace {

using automation::Variant;

double AsDouble(const Variant& v) {
  switch (v.type()) {
    case AUTO_VT_R4: return std::isfinite(v.r4()) ? static_cast<double>(v.r4()) : 0.0;
    case AUTO_VT_I2: return v.i2();
    case AUTO_VT_I4: return v.i4();
    default: return 0.0;
  }
}

}  // namespace

int16_t Tags::Analyze(const QString& path) const {
  if (!c_) return kFormatNone;
  return static_cast<int16_t>(c_.Call(SX_AUDIOAnalyzeFile, {Variant::Str(path.toStdU16String())}).whole());
}

QString Tags::Text(int32_t dispid) const { return QString::fromStdU16String(c_.Get(dispid).str()); }

QString Tags::TextAt(int32_t dispid, int16_t index) const {
  return QString::fromStdU16String(c_.Call(dispid, {Variant::I2(index)}).str());
}

int32_t Tags::Int(int32_t dispid) const { return c_.Call(dispid).whole(); }

double Tags::Real(int32_t dispid) const { return AsDouble(c_.Call(dispid)); }

bool Tags::Boolean(int32_t dispid) const { return c_.Call(dispid).whole() != 0; }

}  // namespace playlists
