#pragma once
// Whether a folder is the root of a mounted file system: the only kind of folder the USB
// disk mode takes as a drive (the station reads its files from the drive's root).

#include <filesystem>

namespace ql::io {

// True when `folder` is a directory at the root of a mounted file system: it lies on
// another device than its parent, or it is "/". A symbolic link is not followed (a link
// to a mount point is not itself one). False for anything that cannot be examined.
bool IsMountRoot(const std::filesystem::path& folder);

}  // namespace ql::io
