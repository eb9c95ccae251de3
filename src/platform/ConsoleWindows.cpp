#include "platform/Console.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "WindowsSupport.h"

namespace norvalis::platform {

namespace {

// A console is written in UTF-16, so every character shows whatever its code page; a pipe or a
// file gets the UTF-8 bytes as they are, as on Linux.
void writeAll(DWORD which, std::FILE* stream, std::string_view text) {
  const HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
    const std::wstring wide = windows::Widen(text);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // Binary, so a line ends in LF as on Linux and the output is the same bytes.
  _setmode(_fileno(stream), _O_BINARY);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::string_view text) {
  writeAll(STD_OUTPUT_HANDLE, stdout, text);
}

void WriteStandardError(std::string_view text) {
  writeAll(STD_ERROR_HANDLE, stderr, text);
}

std::string StandardInputName() {
  return "CONIN$";
}

std::vector<std::string> CommandLineArguments(int /*argc*/, char** /*argv*/) {
  // argv holds the arguments in the ANSI code page, which loses what it cannot spell.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(windows::Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace norvalis::platform
