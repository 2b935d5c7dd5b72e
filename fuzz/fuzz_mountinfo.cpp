// The mount table reader of DriveKind: any text gives a kind from 0 to 6, and the mount that
// holds a path is a whole-component prefix of it.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/DriveKindLinux.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    // The first line is the path asked about, the rest the mount table.
    const std::size_t nl = all.find('\n');
    std::string path = "/" + std::string(all.substr(0, nl == std::string_view::npos ? 0 : nl));
    const std::string_view table = nl == std::string_view::npos ? all : all.substr(nl + 1);

    const auto mounts = vellaro::ParseMountInfo(table);
    if (const vellaro::MountEntry* m = vellaro::MountHolding(mounts, path)) {
        const std::string& mp = m->mountPoint;
        FUZZ_CHECK(path.compare(0, mp.size(), mp) == 0);
        FUZZ_CHECK(mp == "/" || path.size() == mp.size() || path[mp.size()] == '/');
    }
    vellaro::DriveProbe probe;
    probe.mountinfo = std::string(table);
    probe.sysRoot = "/nonexistent-sysfs-for-fuzzing";
    const int kind = vellaro::ClassifyDrive(probe, path);
    FUZZ_CHECK(kind >= 0 && kind <= 6);
    return 0;
}
