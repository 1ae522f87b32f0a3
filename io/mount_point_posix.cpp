#include <sys/stat.h>

#include "io/mount_point.h"

namespace ql::io {

bool IsMountRoot(const std::filesystem::path& folder) {
  struct stat self {};
  if (::lstat(folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
  struct stat parent {};
  const std::filesystem::path up = folder / "..";
  if (::stat(up.c_str(), &parent) != 0) return false;
  // "/" is its own parent; any other mount root sits on a device of its own.
  if (self.st_dev != parent.st_dev) return true;
  return self.st_ino == parent.st_ino;
}

}  // namespace ql::io
