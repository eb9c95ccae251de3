#include "crash/CurrentException.h"

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

#include "crash/SignalSafeText.h"

namespace norvalis::crash {

void DescribeCurrentException(char* buffer, std::size_t size) {
  SignalSafeText text(buffer, size);
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) {
    text.Add("std::terminate");
    return;
  }
  int status = 0;
  char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  text.AddLine(status == 0 && name != nullptr ? name : type->name());
  std::free(name);
  try {
    throw;
  } catch (const std::exception& e) {
    text.Add(": ").AddLine(e.what());
  } catch (...) {
  }
}

}  // namespace norvalis::crash
