// Classifies the drive behind a path from the mount table and the sysfs block device tree.
//
// How a mount is classified:
//  - by its file system type first: tmpfs/ramfs are RAM disks, the network file systems are
//    network drives, iso9660/udf are optical discs;
//  - an overlay counts as the file system that holds its upper layer (its lower layer when it has
//    none), found through this same table. When that folder is not visible here (an overlay
//    assembled in another mount namespace, as a container's root is), it counts as a fixed disk:
//    the kernel accepts as upper layer only local file systems, and what a learner works in on
//    such a machine is the local disk behind it;
//  - a ZFS dataset as a fixed disk (its pool's devices are not shown anywhere); bcachefs by the
//    devices its source names, joined by ':', as a device mapper device by those below it;
//  - otherwise by its block device: the device number of the mount, or, where the file system
//    shows an anonymous number (btrfs, some FUSE block file systems), the device named as the
//    mount's source. A bind mount carries the device of what it shows, so it counts as that disk.
//
// How a block device is classified: a partition by its disk; a device mapper or RAID device by the
// devices below it (slaves/); a loop device by the file behind it; zram/brd as RAM disks; sr* as
// optical; nbd/rbd as network; removable flag 1 or a device reached through USB as removable; SD
// cards (mmc) as removable, soldered eMMC as fixed; any other physical device as fixed. Anything
// else is "not determined".

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/DriveKindLinux.h"

namespace vellaro {
namespace {

namespace fs = std::filesystem;

constexpr int kUnknown = 0;
constexpr int kRemovable = 2;
constexpr int kFixed = 3;
constexpr int kNetwork = 4;
constexpr int kOptical = 5;
constexpr int kRamDisk = 6;

// Layers of indirection followed at most (overlay -> loop file -> dm -> disk ...); guards cycles.
constexpr int kMaxDepth = 8;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// Undoes the kernel's escaping of blanks, tabs, newlines, commas and backslashes as \ooo.
std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && IsOctal(s[i + 1]) && IsOctal(s[i + 2]) &&
            IsOctal(s[i + 3])) {
            out.push_back(static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) |
                                            (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool ParseDeviceNumber(std::string_view s, unsigned& major, unsigned& minor) {
    auto colon = s.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 >= s.size())
        return false;
    auto number = [](std::string_view digits, unsigned& out) {
        unsigned long v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + static_cast<unsigned>(c - '0');
            if (v > 0xFFFFFFFFul)
                return false;
        }
        out = static_cast<unsigned>(v);
        return true;
    };
    return number(s.substr(0, colon), major) && number(s.substr(colon + 1), minor);
}

// True when prefix is the path itself or one of the folders above it.
bool IsPathPrefix(std::string_view prefix, std::string_view path) {
    if (prefix == "/")
        return !path.empty() && path.front() == '/';
    if (!StartsWith(path, prefix))
        return false;
    return path.size() == prefix.size() || path[prefix.size()] == '/';
}

// The first line of a small sysfs attribute, without its line end; empty if unreadable.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (in)
        std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

fs::path Canonical(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::canonical(p, ec);
    return ec ? fs::path{} : c;
}

// The value of one option (e.g. "upperdir") in a comma-separated option list, unescaped.
std::string OptionValue(std::string_view options, std::string_view name) {
    std::size_t i = 0;
    while (i <= options.size()) {
        std::size_t end = options.find(',', i);
        if (end == std::string_view::npos)
            end = options.size();
        std::string_view opt = options.substr(i, end - i);
        if (opt.size() > name.size() && StartsWith(opt, name) && opt[name.size()] == '=')
            return Unescape(opt.substr(name.size() + 1));
        i = end + 1;
    }
    return {};
}

class Classifier {
  public:
    explicit Classifier(const DriveProbe& probe)
        : m_probe(probe), m_sysRoot(Canonical(probe.sysRoot)),
          m_mounts(ParseMountInfo(probe.mountinfo)) {
        if (m_sysRoot.empty())
            m_sysRoot = probe.sysRoot;
    }

    int classifyPath(std::string_view path, int depth) const {
        if (depth > kMaxDepth)
            return kUnknown;
        const MountEntry* mount = MountHolding(m_mounts, path);
        if (!mount)
            return kUnknown;
        return classifyMount(*mount, depth);
    }

  private:
    int classifyMount(const MountEntry& m, int depth) const {
        const std::string& t = m.fsType;
        if (t == "tmpfs" || t == "ramfs")
            return kRamDisk;
        if (IsNetworkType(t))
            return kNetwork;
        if (t == "iso9660" || t == "udf")
            return kOptical;
        if (t == "overlay")
            return classifyOverlay(m, depth);
        // A ZFS dataset names its pool, and the pool's devices are nowhere in the mount table or
        // in sysfs; a pool is made of the machine's own disks.
        if (t == "zfs")
            return kFixed;
        if (t == "bcachefs")
            return classifyDeviceList(m.source, depth);

        fs::path device;
        if (m.major != 0)
            device = blockDeviceByNumber(m.major, m.minor);
        if (device.empty() && StartsWith(m.source, "/dev/"))
            device = blockDeviceBySource(m.source);
        if (device.empty())
            return kUnknown;
        return classifyBlock(device, depth + 1);
    }

    static bool IsNetworkType(const std::string& t) {
        static const char* const kTypes[] = {
            "nfs",         "nfs4",           "cifs",       "smb3",
            "smbfs",       "ncpfs",          "afs",        "ceph",
            "glusterfs",   "fuse.glusterfs", "fuse.sshfs", "fuse.ceph-fuse",
            "fuse.rclone", "fuse.s3fs",      "davfs",      "fuse.davfs2"};
        return std::any_of(std::begin(kTypes), std::end(kTypes),
                           [&](const char* k) { return t == k; });
    }

    int classifyOverlay(const MountEntry& m, int depth) const {
        std::string layer = OptionValue(m.superOptions, "upperdir");
        if (layer.empty()) {
            // A read-only overlay: its first lower layer. Layers are separated by unescaped ':'.
            const std::string lower = OptionValue(m.superOptions, "lowerdir");
            for (std::size_t i = 0; i < lower.size() && lower[i] != ':'; ++i) {
                if (lower[i] == '\\' && i + 1 < lower.size())
                    ++i;
                layer.push_back(lower[i]);
            }
        }
        const MountEntry* holder = layer.empty() ? nullptr : MountHolding(m_mounts, layer);
        if (!holder || holder == &m || holder->fsType == "overlay")
            return kFixed;
        return classifyMount(*holder, depth + 1);
    }

    fs::path blockDeviceByNumber(unsigned major, unsigned minor) const {
        return Canonical(m_sysRoot / "dev" / "block" /
                         (std::to_string(major) + ":" + std::to_string(minor)));
    }

    // A device named by a mount source such as /dev/sda2, /dev/mapper/vg-root or
    // /dev/disk/by-uuid/...: resolve the name (through devRoot where given), then find the block
    // device of that name, or the device mapper device that carries it as its name.
    fs::path blockDeviceBySource(const std::string& source) const {
        std::string name = fs::path(source).filename().string();
        if (!m_probe.devRoot.empty()) {
            fs::path node = Canonical(m_probe.devRoot / fs::path(source).relative_path());
            if (!node.empty())
                name = node.filename().string();
        }
        if (name.empty())
            return {};
        fs::path byName = Canonical(m_sysRoot / "class" / "block" / name);
        if (!byName.empty())
            return byName;
        std::error_code ec;
        for (fs::directory_iterator it(m_sysRoot / "class" / "block", ec), end; !ec && it != end;
             it.increment(ec)) {
            if (ReadAttribute(it->path() / "dm" / "name") == name)
                return Canonical(it->path());
        }
        return {};
    }

    int classifyBlock(fs::path device, int depth) const {
        if (depth > kMaxDepth)
            return kUnknown;
        std::error_code ec;
        if (fs::exists(device / "partition", ec))
            device = device.parent_path();
        const std::string name = device.filename().string();

        std::vector<fs::path> slaves;
        for (fs::directory_iterator it(device / "slaves", ec), end; !ec && it != end;
             it.increment(ec)) {
            fs::path s = Canonical(it->path());
            if (!s.empty())
                slaves.push_back(s);
        }
        if (!slaves.empty())
            return combineSlaves(slaves, depth);
        if (StartsWith(name, "dm-") || StartsWith(name, "md"))
            return kUnknown; // a mapped device with nothing below it that we can see

        if (StartsWith(name, "loop")) {
            std::string backing = ReadAttribute(device / "loop" / "backing_file");
            const std::string deleted = " (deleted)";
            if (backing.size() > deleted.size() &&
                backing.compare(backing.size() - deleted.size(), deleted.size(), deleted) == 0)
                backing.resize(backing.size() - deleted.size());
            if (backing.empty() || backing.front() != '/')
                return kUnknown;
            return classifyPath(backing, depth + 1);
        }
        if (StartsWith(name, "zram") || StartsWith(name, "ram"))
            return kRamDisk;
        if (StartsWith(name, "sr"))
            return kOptical;
        if (StartsWith(name, "nbd") || StartsWith(name, "rbd"))
            return kNetwork;

        if (ReadAttribute(device / "removable") == "1")
            return kRemovable;
        bool virtualDevice = false;
        bool mmc = StartsWith(name, "mmcblk");
        for (const fs::path& part : device.lexically_relative(m_sysRoot)) {
            const std::string s = part.string();
            if (StartsWith(s, "usb"))
                return kRemovable;
            if (s == "virtual")
                virtualDevice = true;
            if (s == "mmc_host")
                mmc = true;
            if (s == "memstick")
                return kRemovable;
        }
        if (mmc) {
            // SD cards report removable 0 on most readers; a soldered eMMC reports type MMC.
            return ReadAttribute(device / "device" / "type") == "MMC" ? kFixed : kRemovable;
        }
        if (virtualDevice)
            return kUnknown;
        return kFixed;
    }

    // A file system over several devices names them all as its source, joined by ':'.
    int classifyDeviceList(const std::string& source, int depth) const {
        std::vector<fs::path> devices;
        std::size_t start = 0;
        while (start <= source.size()) {
            std::size_t end = source.find(':', start);
            if (end == std::string::npos)
                end = source.size();
            const std::string name = source.substr(start, end - start);
            if (StartsWith(name, "/dev/")) {
                fs::path device = blockDeviceBySource(name);
                if (device.empty())
                    return kUnknown; // a device we cannot see decides as much as the others
                devices.push_back(std::move(device));
            }
            start = end + 1;
        }
        if (devices.empty())
            return kUnknown;
        return combineSlaves(devices, depth);
    }

    int combineSlaves(const std::vector<fs::path>& slaves, int depth) const {
        std::vector<int> kinds;
        for (const fs::path& s : slaves)
            kinds.push_back(classifyBlock(s, depth + 1));
        if (std::all_of(kinds.begin(), kinds.end(), [&](int k) { return k == kinds.front(); }))
            return kinds.front();
        // Data spread over a removable device leaves with it; over a network device, likewise.
        for (int k : {kRemovable, kNetwork})
            if (std::find(kinds.begin(), kinds.end(), k) != kinds.end())
                return k;
        return kUnknown;
    }

    const DriveProbe& m_probe;
    fs::path m_sysRoot; // canonical, so that device paths can be taken apart below it
    std::vector<MountEntry> m_mounts;
};

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;

        auto fields = SplitBlanks(line);
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 6 || dash == fields.end() || dash - fields.begin() < 6)
            continue;
        MountEntry m;
        if (!ParseDeviceNumber(fields[2], m.major, m.minor))
            continue;
        m.root = Unescape(fields[3]);
        m.mountPoint = Unescape(fields[4]);
        if (m.mountPoint.empty() || m.mountPoint.front() != '/')
            continue;
        auto rest = dash + 1;
        if (rest != fields.end())
            m.fsType = Unescape(*rest++);
        if (rest != fields.end())
            m.source = Unescape(*rest++);
        if (rest != fields.end())
            m.superOptions = std::string(*rest);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        if (!IsPathPrefix(m.mountPoint, path))
            continue;
        if (!best || m.mountPoint.size() >= best->mountPoint.size())
            best = &m;
    }
    return best;
}

int ClassifyDrive(const DriveProbe& probe, std::string_view canonicalPath) {
    if (canonicalPath.empty() || canonicalPath.front() != '/')
        return kUnknown;
    try {
        return Classifier(probe).classifyPath(canonicalPath, 0);
    } catch (...) {
        return kUnknown;
    }
}

} // namespace vellaro
