#pragma once

namespace norvalis {

// Shows the busy cursor for its lifetime; the cursor before it comes back on every way out,
// also when guards nest.
class TCursorHourGlass {
 public:
  TCursorHourGlass();
  ~TCursorHourGlass();
  TCursorHourGlass(const TCursorHourGlass&) = delete;
  TCursorHourGlass& operator=(const TCursorHourGlass&) = delete;
};

}  // namespace norvalis
