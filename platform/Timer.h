// A repeating timer that raises ThatTime every interval while it is enabled.
// Tests call the connected handlers directly instead of waiting.
#pragma once

#include <QObject>
#include <QTimer>

namespace djvp {

class Timer : public QObject {
  Q_OBJECT

 public:
  // A new timer is disabled; SetEnabled(true) starts it.
  explicit Timer(int intervalMs, QObject* parent = nullptr);

  // Changes the interval; an enabled timer restarts its count with it. An
  // interval below 1 ms stops the ticks until a valid one is set.
  void SetInterval(int ms);
  int Interval() const;

  void SetEnabled(bool enabled);
  bool Enabled() const;

 signals:
  void ThatTime();

 private:
  void Restart();

  QTimer* timer_;  // a child, so tests can find and trigger it
  int interval_ = 0;
  bool enabled_ = false;
};

}  // namespace djvp
