#include "platform/Timer.h"

namespace djvp {

Timer::Timer(int intervalMs, QObject* parent) : QObject(parent), timer_(new QTimer(this)), interval_(intervalMs) {
  timer_->setSingleShot(false);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &Timer::ThatTime);
}

void Timer::SetInterval(int ms) {
  interval_ = ms;
  Restart();
}

int Timer::Interval() const { return interval_; }

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Restart();
}

bool Timer::Enabled() const { return enabled_; }

void Timer::Restart() {
  // A zero QTimer interval would fire on every pass of the event loop; a
  // timer without a valid interval stays silent instead.
  if (enabled_ && interval_ > 0) {
    timer_->start(interval_);
  } else {
    timer_->stop();
  }
}

}  // namespace djvp
