#include "text/FileBytes.h"

#include <cerrno>
#include <utility>

#include "platform/Memory.h"
#include "text/Exception.h"
#include "text/FileUtility.h"
#include "text/FileUtilityTesting.h"

namespace norvalis {

std::shared_ptr<const FileBytes> FileBytes::Open(const UnicodeString& fileName,
                                                 const std::atomic<bool>* cancel) {
  std::shared_ptr<FileBytes> bytes(new FileBytes());
  bytes->file_ = TFileUtility::OpenForReading(fileName);
  bytes->path_ = ToUtf8(fileName);
  if (const int error = bytes->file_.Status(bytes->opened_); error != 0) {
    throw EFOpenError::ForPath(fileName, error);
  }
  const platform::FileStatus& status = bytes->opened_;
  bytes->comparable_ = status.kind == platform::FileKind::Regular;
  if (status.kind != platform::FileKind::Regular || status.size == 0) {
    // Pipes, FIFOs and devices have no size to map; nor have files the system makes up as they
    // are read. Both are read to their end.
    bytes->owned_ = TFileUtility::ReadToEnd(bytes->file_, fileName, cancel);
  } else if (platform::MappedFile::HoldsFile() &&
             status.size <= platform::PhysicalMemoryBytes() / 4) {
    // Where a mapping would keep other programs from saving the file, its bytes are read and
    // it is closed: the user may edit it elsewhere while it is shown. A change is still seen,
    // by its name.
    TFileUtility::Testing::HoldBytes(status.size);
    bytes->owned_ = TFileUtility::ReadContent(bytes->file_, fileName, status.size);
    bytes->file_ = platform::File();
  } else {
    TFileUtility::Testing::HoldBytes(status.size);
    int error = 0;
    bytes->mapped_ = platform::MappedFile::Map(bytes->file_, status.size, error);
    if (bytes->mapped_ != nullptr) {
      bytes->data_ = bytes->mapped_->View().data();
      bytes->size_ = status.size;
      return bytes;
    }
    if (error == ENOMEM) throw Exception(TFileUtility::MemoryMessage);
    if (error != 0) throw EFOpenError::ForPath(fileName, error);
    // No room to guard the mapping: read the bytes instead.
    bytes->owned_ = TFileUtility::ReadContent(bytes->file_, fileName, status.size);
  }
  bytes->data_ = bytes->owned_.data();
  bytes->size_ = bytes->owned_.size();
  return bytes;
}

std::shared_ptr<const FileBytes> FileBytes::FromMemory(std::string content) {
  std::shared_ptr<FileBytes> bytes(new FileBytes());
  bytes->owned_ = std::move(content);
  bytes->data_ = bytes->owned_.data();
  bytes->size_ = bytes->owned_.size();
  return bytes;
}

FileBytes::~FileBytes() = default;

FileChange FileBytes::DiskChange() const {
  FileChange change;
  if (!comparable_) return change;
  change.pageLost = Stale();
  change.sizeRead = opened_.size;
  change.sizeNow = opened_.size;
  platform::FileStatus named;
  const bool namedNow = platform::PathStatus(path_, named) == 0;
  platform::FileStatus now;
  bool looked = false;
  if (file_.IsOpen()) {
    looked = file_.Status(now) == 0;
  } else if (namedNow && named.identity == opened_.identity) {
    // A file read whole and closed is looked at by its name, while it is the same file.
    now = named;
    looked = true;
  }
  if (looked) {
    change.sizeNow = now.size;
    change.resized = now.size != opened_.size;
    change.modified = now.modified != opened_.modified;
  }
  change.replaced = namedNow && named.identity != opened_.identity;
  if (change.pageLost || change.resized || change.modified || change.replaced) {
    change.state = FileState::Changed;
  } else if (!namedNow) {
    change.state = FileState::Gone;
  }
  return change;
}

void FileBytes::AdviseSequential(bool sequential) const {
  if (mapped_ != nullptr) mapped_->AdviseSequential(sequential);
}

}  // namespace norvalis
