#include "check/RowPass.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace norvalis::RowPass {

namespace {

constexpr std::uint32_t PieceRows = 1 << 13;
// Below this many rows a thread costs more than it saves.
constexpr std::uint64_t RowsPerPart = 1 << 17;
constexpr unsigned MaxParts = 16;

std::atomic<unsigned> forcedParts{0};

}  // namespace

void ForcePartsForTesting(unsigned parts) {
  forcedParts = parts;
}

unsigned PartsFor(std::uint64_t rows) {
  if (const unsigned forced = forcedParts.load()) return forced;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::uint64_t byRows = std::max<std::uint64_t>(1, rows / RowsPerPart);
  return static_cast<unsigned>(std::min<std::uint64_t>({cores, byRows, MaxParts}));
}

bool Run(std::uint32_t first, std::uint32_t end, unsigned parts, YieldHook* hook,
         const std::atomic<bool>* cancel,
         const std::function<void(unsigned, std::uint32_t, std::uint32_t)>& piece) {
  const std::uint64_t total = end > first ? end - first : 0;
  parts = std::max(1u, parts);
  std::atomic<std::uint64_t> done{0};
  std::atomic<bool> stop{false};
  std::vector<std::exception_ptr> errors(parts);
  const auto walk = [&](unsigned part) {
    const std::uint64_t from = first + total * part / parts;
    const std::uint64_t to = first + total * (part + 1) / parts;
    try {
      for (std::uint64_t at = from; at < to && !stop.load(std::memory_order_relaxed);) {
        const std::uint64_t next = std::min<std::uint64_t>(to, at + PieceRows);
        piece(part, static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(next));
        done.fetch_add(next - at, std::memory_order_relaxed);
        at = next;
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) stop = true;
        if (part == 0 && hook != nullptr) hook->Tick(done.load(std::memory_order_relaxed), total);
      }
    } catch (...) {
      errors[part] = std::current_exception();
      stop = true;
    }
  };
  if (hook != nullptr) hook->Force(0, total);
  {
    std::vector<std::jthread> threads;
    for (unsigned part = 1; part < parts; ++part)
      threads.emplace_back(walk, part);
    walk(0);
  }
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
  return !(cancel != nullptr && cancel->load());
}

}  // namespace norvalis::RowPass
