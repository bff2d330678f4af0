// Helpers shared by the sound benchmarks: running a reference tool as a
// child process (its output and the CPU time it took), CPU clocks, and
// writing a WAV file.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace benchutil {

struct ChildResult {
  int status = -1;         // exit status; -1 when it could not be started
  std::string out;         // what it wrote to the captured stream
  double cpuSeconds = 0;   // user + system time of the child
  double wallSeconds = 0;
};

inline double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

inline double Monotonic() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// CPU time of the calling thread.
inline double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// CPU time of the whole process (every thread).
inline double ProcessCpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return Seconds(u.ru_utime) + Seconds(u.ru_stime);
}

enum class Capture { kStdout, kStderr, kNothing };

// Runs a program (no shell) and keeps what it writes to the stream named by
// `capture`; everything else it writes goes to /dev/null (so that writing
// its output costs nothing on our side).
inline ChildResult RunChild(const std::vector<std::string>& args, Capture capture = Capture::kStdout) {
  ChildResult r;
  const bool keep = capture != Capture::kNothing;
  const int keptFd = capture == Capture::kStderr ? 2 : 1;
  int pipeFd[2] = {-1, -1};
  if (keep && pipe(pipeFd) != 0) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {1, 2}) {
    if (keep && fd == keptFd)
      posix_spawn_file_actions_adddup2(&actions, pipeFd[1], fd);
    else
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
  }
  if (keep) posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const double t0 = Monotonic();
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (keep) close(pipeFd[1]);
  if (rc == 0) {
    if (keep) {
      char buf[4096];
      ssize_t n;
      while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
    }
    int st = 0;
    rusage u{};
    wait4(pid, &st, 0, &u);
    r.wallSeconds = Monotonic() - t0;
    r.cpuSeconds = Seconds(u.ru_utime) + Seconds(u.ru_stime);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  if (keep) close(pipeFd[0]);
  return r;
}

// Writes 16-bit PCM WAV of interleaved float samples.
inline void WriteWav(const std::string& path, const std::vector<float>& samples, int rate, int channels) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(static_cast<uint16_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint16_t>(channels * 2));
  u16(16);
  out.write("data", 4);
  u32(bytes);
  for (float v : samples)
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767))));
}

// A stereo MP3 of `seconds` at 192 kbit/s (pink noise on the left, a tone on
// the right: broadband material), made with sox and lame once per machine in
// the temporary folder. Empty when the tools are missing.
inline std::string MakeSong(int seconds) {
  const auto dir = std::filesystem::temp_directory_path() / "djvp-bench-engine";
  std::filesystem::create_directories(dir);
  const std::string name = "song" + std::to_string(seconds);
  const std::string mp3 = (dir / (name + ".mp3")).string();
  if (!std::filesystem::exists(mp3)) {
    const std::string wav = (dir / (name + ".wav")).string();
    const std::string cmd = "sox -q -n -r 44100 -c 2 -b 16 '" + wav + "' synth " + std::to_string(seconds) +
                            " pinknoise sine 220 vol 0.4 && lame --quiet -b 192 '" + wav + "' '" + mp3 +
                            ".part' && mv '" + mp3 + ".part' '" + mp3 + "'";
    const int rc = std::system(cmd.c_str());
    std::filesystem::remove(wav);
    if (rc != 0) return std::string();
  }
  return mp3;
}

}  // namespace benchutil
