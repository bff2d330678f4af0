// A parameter record handed from a control thread to the audio thread
// without locks or allocation. Every record field is 32 bits, so the record
// travels as an array of atomic words guarded by a sequence counter: the
// writer makes the counter odd, stores the words and makes it even again;
// the reader takes a copy only when the counter was even and unchanged
// around the copy, and otherwise keeps its old values until its next block.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace engine::dsp {

template <typename Record>
class ParamSlot {
  static_assert(std::is_trivially_copyable_v<Record>);
  static_assert(sizeof(Record) % sizeof(uint32_t) == 0);
  static constexpr size_t kWords = sizeof(Record) / sizeof(uint32_t);

 public:
  explicit ParamSlot(const Record& initial = Record{}) { Publish(initial); }

  // Control side (one writer thread).
  void Publish(const Record& record) {
    std::array<uint32_t, kWords> words;
    std::memcpy(words.data(), &record, sizeof(Record));
    const uint32_t seq = seq_.load(std::memory_order_relaxed);
    seq_.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_relaxed);
    seq_.store(seq + 2, std::memory_order_release);
  }

  // Audio side: copies the record into `out` when a new, consistent one has
  // been published since `seen`; updates `seen`. False when nothing new.
  bool Fetch(Record& out, uint32_t& seen) const {
    const uint32_t before = seq_.load(std::memory_order_acquire);
    if (before == seen || (before & 1u) != 0) return false;
    std::array<uint32_t, kWords> words;
    for (size_t i = 0; i < kWords; ++i) words[i] = words_[i].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (seq_.load(std::memory_order_relaxed) != before) return false;
    std::memcpy(&out, words.data(), sizeof(Record));
    seen = before;
    return true;
  }

 private:
  std::atomic<uint32_t> seq_{0};
  std::array<std::atomic<uint32_t>, kWords> words_{};
};

}  // namespace engine::dsp
