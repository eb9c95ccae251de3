#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace norvalis {

// Lets a long loop hand control to the GUI now and then, with how far it has come.
// Called on elapsed time only (every Interval of work at most), never per item.
class YieldHook {
 public:
  using Callback = std::function<void(std::uint64_t done, std::uint64_t total)>;
  static constexpr std::chrono::milliseconds Interval{30};

  YieldHook() = default;
  explicit YieldHook(Callback callback) : callback_(std::move(callback)) {}

  explicit operator bool() const { return static_cast<bool>(callback_); }

  // Calls the callback when Interval has passed since the last call (or since the start).
  void Tick(std::uint64_t done, std::uint64_t total) {
    if (!callback_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < Interval) return;
    last_ = now;
    callback_(done, total);
  }

  // Calls the callback whatever the time (start and end of a loop).
  void Force(std::uint64_t done, std::uint64_t total) {
    if (!callback_) return;
    last_ = std::chrono::steady_clock::now();
    callback_(done, total);
  }

  // Restarts the clock, so the first Tick waits a whole Interval.
  void Restart() { last_ = std::chrono::steady_clock::now(); }

 private:
  Callback callback_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace norvalis
