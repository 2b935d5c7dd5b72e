#pragma once
// The drive kind of a path on Linux, worked out from the mount table and the kernel's block device
// tree. The classifier is a pure function over the text of a mountinfo file and a sysfs root, so it
// can be checked against prepared trees as well as against the running machine.
//
// The answers are the drive kinds of DriveKind(): 0 not determined, 1 no root folder, 2 removable,
// 3 fixed disk, 4 network, 5 optical disc, 6 RAM disk.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

// One line of a mountinfo file (see proc(5)), with the octal escapes of paths decoded.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;       // the folder of the file system that is mounted here
    std::string mountPoint; // where it is mounted, relative to the process's root
    std::string fsType;     // e.g. "ext4", "tmpfs", "fuse.sshfs"
    std::string source;     // e.g. "/dev/sda2", "server:/export", "tmpfs"
    std::string superOptions;
};

std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mount that holds an absolute path: the longest mount point that is a whole-component prefix
// of it; of mounts stacked on one mount point, the last listed (the one on top). Null when none.
const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, std::string_view path);

struct DriveProbe {
    std::string mountinfo;                  // the text of /proc/self/mountinfo
    std::filesystem::path sysRoot = "/sys"; // the sysfs tree to consult
    // Where the device names of mount sources ("/dev/mapper/x") are resolved. Empty: resolve them
    // by name through the sysfs tree only.
    std::filesystem::path devRoot;
};

// The drive kind of an absolute path whose symbolic links are already resolved. The path itself is
// not looked up on disk: only the mount table and the sysfs tree are.
int ClassifyDrive(const DriveProbe& probe, std::string_view canonicalPath);

} // namespace vellaro
