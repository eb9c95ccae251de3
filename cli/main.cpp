// norvalis-check: the window's load pipeline and checks, without a window, for scripts.

#include "Run.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
  return norvalis::cli::Run(norvalis::platform::CommandLineArguments(argc, argv));
}
