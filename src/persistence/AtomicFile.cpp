#include "persistence/AtomicFile.h"

#include <array>

#include "persistence/AtomicFileTesting.h"
#include "platform/SaveFile.h"
#include "text/Exception.h"

namespace norvalis {

namespace {

constexpr std::size_t kStepCount = 5;
std::array<int, kStepCount> injectedFailures{};

// The errno a test asked this step to fail with, or 0.
int injectedFailure(AtomicFileTesting::Step step) {
  return injectedFailures[static_cast<std::size_t>(step)];
}

// Runs one step: an injected failure wins over the real call; the error number, 0 when done.
template <typename Action>
int runStep(AtomicFileTesting::Step step, Action action) {
  if (const int errnum = injectedFailure(step); errnum != 0) return errnum;
  return action();
}

}  // namespace

namespace AtomicFileTesting {

void FailStep(Step step, int errnum) {
  injectedFailures[static_cast<std::size_t>(step)] = errnum;
}

void ClearFailures() {
  injectedFailures.fill(0);
}

}  // namespace AtomicFileTesting

void WriteFileAtomically(const UnicodeString& path, std::string_view bytes) {
  using AtomicFileTesting::Step;
  platform::SaveFile file(platform::SaveFile::ResolveTarget(ToUtf8(path)));
  auto check = [&path](int errnum) {
    if (errnum != 0) throw EFCreateError::ForPath(path, errnum);
  };

  check(runStep(Step::CreateTemporary, [&] { return file.Create(); }));
  if (const int errnum = injectedFailure(Step::Write); errnum != 0) {
    // As a full disk would: part of the bytes arrive, then the write fails.
    file.Write(bytes.data(), bytes.size() / 2);
    check(errnum);
  }
  check(file.Write(bytes.data(), bytes.size()));
  check(runStep(Step::Sync, [&] { return file.Sync(); }));
  check(runStep(Step::Close, [&] { return file.Close(); }));
  check(runStep(Step::Rename, [&] { return file.Replace(); }));
}

}  // namespace norvalis
