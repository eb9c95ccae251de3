// norvalis-check: the window's load pipeline and checks, without a window, for scripts.

#include <string>
#include <vector>

#include "Run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return norvalis::cli::Run(args);
}
