#pragma once

namespace norvalis::AtomicFileTesting {

// The steps of WriteFileAtomically that a test can make fail.
enum class Step {
  CreateTemporary,  // creating the temporary file
  Write,            // writing the bytes (half of them are written first)
  Sync,             // flushing them to the disk
  Close,            // closing the temporary file
  Rename,           // renaming it over the target
};

// Makes the step fail with errnum in every following save, until cleared.
void FailStep(Step step, int errnum);
// Lets every step run normally again.
void ClearFailures();

// Fails one step for the lifetime of the guard.
class ScopedStepFailure {
 public:
  ScopedStepFailure(Step step, int errnum) { FailStep(step, errnum); }
  ~ScopedStepFailure() { ClearFailures(); }
  ScopedStepFailure(const ScopedStepFailure&) = delete;
  ScopedStepFailure& operator=(const ScopedStepFailure&) = delete;
};

}  // namespace norvalis::AtomicFileTesting
