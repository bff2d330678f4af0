// The engine's background threads: one per lane, started with the first job
// of its lane, running the lane's jobs one after another at a low priority
// so that the decks' workers and the window go first.
#include <sys/resource.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>

#include "engine/EngineCore.h"

namespace engine::core {

namespace {

constexpr int kBackgroundNice = 10;

class BackgroundLane {
 public:
  void Run(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(m_);
    if (stopped_) return;
    jobs_.push_back(std::move(job));
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    wake_.notify_all();
  }

  void Wait() {
    std::unique_lock<std::mutex> lock(m_);
    idle_.wait(lock, [this] { return stopped_ || (jobs_.empty() && !busy_); });
  }

  void Stop(bool join) {
    {
      std::lock_guard<std::mutex> lock(m_);
      stopped_ = true;
      jobs_.clear();
      wake_.notify_all();
      idle_.notify_all();
    }
    if (!thread_.joinable()) return;
    if (join)
      thread_.join();
    else
      thread_.detach();
  }

 private:
  void Loop() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice);
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      wake_.wait(lock, [this] { return stopped_ || !jobs_.empty(); });
      if (stopped_) return;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      try {
        job();
      } catch (...) {
        // A job that fails leaves its result unset; the lane goes on.
      }
      job = nullptr;
      lock.lock();
      busy_ = false;
      if (jobs_.empty()) idle_.notify_all();
    }
  }

  std::mutex m_;
  std::condition_variable wake_, idle_;
  std::deque<std::function<void()>> jobs_;
  std::thread thread_;
  bool busy_ = false;
  bool stopped_ = false;
};

// Made once and never destroyed: a scan left running at the end of the
// process may still come back to its lane.
BackgroundLane& LaneOf(Lane lane) {
  static auto* scan = new BackgroundLane;
  static auto* bpm = new BackgroundLane;
  return lane == Lane::kScan ? *scan : *bpm;
}

}  // namespace

void RunInBackground(Lane lane, std::function<void()> job) { LaneOf(lane).Run(std::move(job)); }

void WaitForBackground() {
  LaneOf(Lane::kScan).Wait();
  LaneOf(Lane::kBpm).Wait();
}

void StopBackground() {
  LaneOf(Lane::kBpm).Stop(true);
  LaneOf(Lane::kScan).Stop(false);
}

}  // namespace engine::core

namespace engine {

void WaitForBackgroundWork() { core::WaitForBackground(); }

}  // namespace engine
