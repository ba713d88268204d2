// Copying files the way an installer must: a file is written beside its
// target and renamed into place, so that a copy that is interrupted never
// leaves a truncated file under the target's name, and nothing copied is
// writable by group or others.
#pragma once

#include <string>

namespace platform {

// Copies the file `source` to `target`. With `fail_if_exists`, an existing
// target is left alone and the copy fails. A symbolic link is copied as a
// link. The target gets the source's permissions without group and other
// write. False on any failure; the target is then unchanged.
bool CopyFileAtomic(const std::string& source, const std::string& target, bool fail_if_exists);

}  // namespace platform
