#pragma once

#include <cstddef>

namespace norvalis::crash {

// An alternate signal stack for the calling thread, so a crash by stack overflow still runs the
// handler. It is unhooked and freed when the owner ends.
class AltStack {
 public:
  AltStack();
  ~AltStack();
  AltStack(const AltStack&) = delete;
  AltStack& operator=(const AltStack&) = delete;

 private:
  void* memory_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace norvalis::crash
