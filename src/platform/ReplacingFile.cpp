#include "platform/ReplacingFile.h"

#include <cerrno>

namespace norvalis::platform {

namespace {

constexpr std::size_t BufferBytes = std::size_t{1} << 20;

}  // namespace

// The temporary file goes with file_ unless Commit put it in place.
ReplacingFile::~ReplacingFile() = default;

int ReplacingFile::Begin(std::string_view path) {
  file_ = std::make_unique<SaveFile>(SaveFile::ResolveTarget(path));
  if (const int error = file_->Create(); error != 0) {
    file_.reset();
    return error;
  }
  buffer_.reserve(BufferBytes);
  return 0;
}

int ReplacingFile::WriteDirect(const char* data, std::size_t size) {
  if (const int error = file_->Write(data, size); error != 0) return error;
  written_ += size;
  return 0;
}

int ReplacingFile::Flush() {
  if (buffer_.empty()) return 0;
  const int error = WriteDirect(buffer_.data(), buffer_.size());
  buffer_.clear();
  return error;
}

int ReplacingFile::Write(std::string_view bytes) {
  if (!file_) return EBADF;
  if (buffer_.size() + bytes.size() <= BufferBytes) {
    buffer_ += bytes;
    return 0;
  }
  if (const int error = Flush(); error != 0) return error;
  if (bytes.size() < BufferBytes) {
    buffer_ += bytes;
    return 0;
  }
  return WriteDirect(bytes.data(), bytes.size());
}

int ReplacingFile::Commit() {
  if (!file_) return EBADF;
  if (const int error = Flush(); error != 0) return error;
  if (const int error = file_->Sync(); error != 0) return error;
  if (const int error = file_->Close(); error != 0) return error;
  return file_->Replace();
}

}  // namespace norvalis::platform
