#include <windows.h>

#include <string>

#include "io/mount_point.h"

namespace ql::io {

bool IsMountRoot(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
  // The volume a folder is on is named by its mount point: a drive root ("E:\") or a
  // folder a volume is mounted on.
  std::wstring wanted = std::filesystem::absolute(folder, ec).wstring();
  if (ec) return false;
  if (wanted.empty() || wanted.back() != L'\\') wanted += L'\\';
  wchar_t volume[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(wanted.c_str(), volume, MAX_PATH)) return false;
  return _wcsicmp(volume, wanted.c_str()) == 0;
}

}  // namespace ql::io
