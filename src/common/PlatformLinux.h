#pragma once
// Checks of the Linux platform files that are worth testing on their own.
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace vellaro {

// A folder is private to a user when it is a real folder (not a link to one, as lstat reports
// it), owned by that user, and open to nobody else: exactly mode 0700. Only such a folder may be
// used as the temporary folder, since another user could otherwise plant files or links in it.
bool IsPrivateFolder(const struct stat& lstatResult, uid_t owner);

// InstanceLockPath from its inputs: the value of XDG_RUNTIME_DIR (nullptr when unset), the home
// folder and the host name.
std::filesystem::path InstanceLockPathFor(const char* runtimeDir, const std::filesystem::path& home,
                                          const std::string& host);

} // namespace vellaro
