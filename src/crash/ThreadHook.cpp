// Every thread the program starts, its own or Qt's or std::thread's, gets an alternate signal
// stack: pthread_create is taken over here and hands the start routine to a trampoline.

#include <dlfcn.h>
#include <pthread.h>

#include <cstring>
#include <new>

#include "crash/AltStack.h"

namespace {

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

struct ThreadStart {
  void* (*routine)(void*);
  void* argument;
};

CreateFunction RealCreate() {
  static const CreateFunction real = [] {
    void* symbol = dlsym(RTLD_NEXT, "pthread_create");
    CreateFunction function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
  }();
  return real;
}

void* RunWithAltStack(void* argument) {
  const ThreadStart start = *static_cast<ThreadStart*>(argument);
  delete static_cast<ThreadStart*>(argument);
  // Freed on return and on pthread_exit or cancellation, which unwind this frame.
  const norvalis::crash::AltStack stack;
  return start.routine(start.argument);
}

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*routine)(void*), void* argument) noexcept {
  const CreateFunction real = RealCreate();
  auto* start = new (std::nothrow) ThreadStart{routine, argument};
  if (start == nullptr) return real(thread, attributes, routine, argument);
  const int result = real(thread, attributes, RunWithAltStack, start);
  if (result != 0) delete start;
  return result;
}
