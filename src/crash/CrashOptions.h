#pragma once

namespace norvalis::crash {

// The crash options block, compiled into each executable by the build
// (norvalis_add_crash_handler in CrashHandler.cmake) the way the version block is.
struct CrashOptions {
  bool dialog;  // false: the report goes to standard error and the log folder only
  bool copyButton;
  bool screenshotButton;
  bool logButton;
  bool sendButton;  // shown only when mailAddress is set
  bool restartButton;
  bool autoLog;             // keep the log without being asked
  const char* mailAddress;  // empty: no address
  const char* program;      // the name shown in the report and the dialog
  const char* version;
};

// The executable's own block.
extern const CrashOptions ExecutableCrashOptions;

}  // namespace norvalis::crash
