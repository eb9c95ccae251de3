#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "text/YieldHook.h"

// Internal to the check layer: a long pass over the rows, cut into ranges that threads take in
// turn. Each range's results are kept apart and joined in row order, so the outcome is the same
// whatever the number of threads.
namespace norvalis::RowTasks {

struct Range {
  std::uint32_t first = 0;
  std::uint32_t end = 0;
};

// [first, end) in ranges of about rowsPerRange rows.
inline std::vector<Range> Split(std::uint32_t first, std::uint32_t end,
                                std::uint32_t rowsPerRange) {
  std::vector<Range> ranges;
  for (std::uint32_t at = first; at < end;) {
    const std::uint32_t next = end - at > rowsPerRange ? at + rowsPerRange : end;
    ranges.push_back({at, next});
    at = next;
  }
  return ranges;
}

// Runs task(i) for i in [0, count) on the calling thread and, where it pays, on more; the hook
// is called from the calling thread with (work done, total work), as done() reports it.
inline void Run(std::size_t count, const std::function<void(std::size_t)>& task, YieldHook* hook,
                const std::function<std::uint64_t()>& done, std::uint64_t total,
                const std::atomic<bool>* cancel) {
  std::atomic<std::size_t> next{0};
  const auto work = [&](bool reports) {
    for (;;) {
      if (cancel != nullptr && cancel->load()) return;
      const std::size_t i = next++;
      if (i >= count) return;
      task(i);
      if (reports && hook != nullptr) hook->Tick(done(), total);
    }
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t helpers = std::min<std::size_t>(cores, count) - (count > 0 ? 1 : 0);
  std::vector<std::jthread> threads;
  threads.reserve(helpers);
  for (std::size_t t = 0; t < helpers; ++t)
    threads.emplace_back([&] { work(false); });
  work(true);
}

}  // namespace norvalis::RowTasks
