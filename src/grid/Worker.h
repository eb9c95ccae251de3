#pragma once

#include <functional>
#include <thread>

class QObject;

namespace norvalis {

// Runs a piece of work on its own thread, then a continuation on the thread of a context
// object (the GUI thread). The one way this program puts work on a worker.
//
// The owner keeps the worker no longer than the context: the destructor waits for the work,
// so the work may use the owner's data through plain pointers. A continuation whose context
// has gone by the time it is delivered is dropped.
class TWorker {
 public:
  TWorker() = default;
  ~TWorker() { Join(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  // Starts `work`, which must not throw; `then` is queued to `context`'s thread once `work`
  // has returned. One run per worker.
  void Run(std::function<void()> work, QObject* context, std::function<void()> then);
  // Waits until the work has returned (its continuation may still be queued).
  void Join();

 private:
  std::thread thread_;
};

}  // namespace norvalis
