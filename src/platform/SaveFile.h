#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/File.h"

namespace norvalis::platform {

// A temporary file beside the file a save replaces, put in its place by Replace: a failed or
// interrupted save leaves the old file whole. Each step answers an error number (0: done).
class SaveFile {
 public:
  // The file a save to path replaces: a symbolic link's target, else path itself.
  static std::string ResolveTarget(std::string_view path);

  explicit SaveFile(std::string target);
  // Removes the temporary file unless Replace put it in place.
  ~SaveFile();
  SaveFile(const SaveFile&) = delete;
  SaveFile& operator=(const SaveFile&) = delete;

  // Creates the temporary file in the target's folder, with the target's permissions (those a
  // new file gets when there is none).
  int Create();
  // Writes all of the bytes; ENOSPC when the disk takes none.
  int Write(const char* data, std::size_t size);
  // Flushes the bytes to the disk.
  int Sync();
  int Close();
  // Renames the temporary file over the target, then flushes the folder.
  int Replace();

 private:
  std::string target_;
  std::string name_;
  File::Handle handle_ = File::InvalidHandle;
  bool created_ = false;
};

}  // namespace norvalis::platform
