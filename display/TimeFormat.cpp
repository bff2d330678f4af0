#include "display/TimeFormat.h"

#include <cmath>

namespace djvp {

namespace {

QString TwoDigits(double v) { return QStringLiteral("%1").arg(v, 2, 'f', 0, QLatin1Char('0')); }

}  // namespace

QString TimeToString(float seconds) {
  // Worked in double on the single's exact value: the subtractions and the
  // scaling by 100 then cut the hundredths the single really holds.
  double t = static_cast<double>(seconds);
  if (!std::isfinite(t) || t < 0) t = 0;
  const double h = std::floor(t / 3600.0);
  const double m = std::floor((t - 3600.0 * h) / 60.0);
  const double s = std::floor(t - 3600.0 * h - 60.0 * m);
  const double c = std::floor((t - 3600.0 * h - 60.0 * m - s) * 100.0);
  if (h > 0)
    return QLatin1Char(' ') + TwoDigits(h) + QLatin1Char(':') + TwoDigits(m) + QLatin1Char(':') + TwoDigits(s);
  return QLatin1Char(' ') + TwoDigits(m) + QLatin1Char(':') + TwoDigits(s) + QLatin1Char('.') + TwoDigits(c);
}

}  // namespace djvp
