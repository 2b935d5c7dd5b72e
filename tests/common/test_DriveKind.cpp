#include <gtest/gtest.h>
#include <string>

#include "CommonTestSupport.h"
#include "common/DriveKindLinux.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

enum Kind : int {
    Unknown = 0,
    NoRoot = 1,
    Removable = 2,
    Fixed = 3,
    Network = 4,
    Optical = 5,
    RamDisk = 6
};

DriveProbe Fixture(const std::string& name) {
    const fs::path dir = fs::path(VELLARO_TEST_DATA) / "drivekind" / name;
    DriveProbe probe;
    probe.mountinfo = test::ReadFile(dir / "mountinfo");
    probe.sysRoot = dir / "sys";
    EXPECT_FALSE(probe.mountinfo.empty()) << "fixture " << name;
    return probe;
}

struct Case {
    const char* fixture;
    const char* path;
    int kind;
};

const Case kCases[] = {
    // A SATA disk: its partitions, a bind mount, a snap image file on it, an image whose file
    // the kernel does not tell.
    {"sata", "/home/learner/java source", Fixed},
    {"sata", "/", Fixed},
    {"sata", "/boot/efi/EFI", Fixed},
    {"sata", "/srv/data/x", Fixed},
    {"sata", "/snap/core/1/usr", Fixed},
    {"sata", "/mnt/loose", Unknown},
    {"sata", "/proc/self", Unknown},
    {"sata", "/sys/block", Unknown},
    {"nvme", "/home/learner", Fixed},
    {"nvme", "/boot/efi", Fixed},
    {"nvme", "/proc", Unknown},
    // LVM on a SATA partition; a volume group on a USB disk leaves with it.
    {"lvm", "/home/learner", Fixed},
    {"lvm", "/etc", Fixed},
    {"lvm", "/boot", Fixed},
    {"lvm", "/mnt/backup/2024", Removable},
    // LUKS on NVMe with LVM inside: two levels of device mapper.
    {"dmcrypt", "/home/learner", Fixed},
    {"dmcrypt", "/usr", Fixed},
    {"dmcrypt", "/boot/efi", Fixed},
    // btrfs: anonymous device numbers, found through the mount source.
    {"btrfs", "/home/learner", Fixed},
    {"btrfs", "/usr", Fixed},
    {"btrfs", "/data/x", Fixed},
    {"btrfs", "/media/user/STICK/x", Removable},
    {"usb", "/media/user/STICK/java", Removable},
    {"usb", "/media/user/MY DISK/java", Removable},
    {"usb", "/media/user/MY", Fixed},
    {"usb", "/home", Fixed},
    {"sdcard", "/media/user/SDCARD/x", Removable},
    {"sdcard", "/home/pi", Fixed},
    {"optical", "/media/user/DISC/readme", Optical},
    {"optical", "/media/user/MACDISC", Optical},
    {"optical", "/mnt/iso", Optical},
    {"optical", "/home", Fixed},
    {"nfs", "/mnt/nfs/work", Network},
    {"nfs", "/net/home/learner", Network},
    {"nfs", "/mnt/nfsdata", Fixed}, // only begins like the mount point
    {"cifs", "/mnt/share/x", Network},
    {"cifs", "/mnt/smb3", Network},
    {"sshfs", "/home/user/remote/src", Network},
    {"sshfs", "/home/user/local", Fixed},
    {"sshfs", "/run/user/1000/gvfs/x", Unknown},
    {"sshfs", "/run/user/1000/x", RamDisk},
    {"tmpfs", "/tmp/x", RamDisk},
    {"tmpfs", "/mnt/ram", RamDisk},
    {"tmpfs", "/var/cache/apt", RamDisk},
    {"tmpfs", "/mnt/stack/x", RamDisk}, // the mount on top counts
    {"tmpfs", "/var/lib", Fixed},
    {"tmpfs", "/proc/1", Unknown},
    // Overlays count as what holds their changes.
    {"overlay", "/mnt/merged/x", Removable},
    {"overlay", "/mnt/ro/x", RamDisk},
    {"overlay", "/mnt/comma", Removable},
    {"overlay", "/mnt/colon/x", RamDisk}, // a lower layer whose name holds an escaped ':'
    {"container", "/home/learner", Fixed},
    {"container", "/dev/x", RamDisk},
    {"container", "/proc", Unknown},
    {"live", "/home/user", RamDisk},
    // ZFS datasets are local disks; bcachefs goes by the devices it names.
    {"zfs", "/", Fixed},
    {"zfs", "/home/learner/java source", Fixed},
    {"zfs", "/boot/efi", Fixed},
    {"zfs", "/data/x", Fixed},
    {"zfs", "/media/user/CACHE/x", Removable},
    {"zfs", "/mnt/mixed/x", Removable},
};

TEST(DriveKindClassifier, PreparedMachines) {
    for (const Case& c : kCases) {
        const DriveProbe probe = Fixture(c.fixture);
        EXPECT_EQ(ClassifyDrive(probe, c.path), c.kind) << c.fixture << ": " << c.path;
    }
}

TEST(DriveKindClassifier, SourcesAreResolvedThroughTheDeviceFolder) {
    // /dev/disk/by-label/... names reach the device through the links of the device folder.
    test::ScratchFolder dev;
    fs::create_directories(dev / "dev" / "disk" / "by-label");
    test::WriteFile(dev / "dev" / "sdc1", "");
    fs::create_symlink("../../sdc1", dev / "dev" / "disk" / "by-label" / "STICK");
    DriveProbe probe = Fixture("btrfs");
    probe.mountinfo = "1 0 0:33 / / rw - btrfs /dev/nvme0n1p2 rw\n"
                      "2 1 0:45 / /m rw - btrfs /dev/disk/by-label/STICK rw\n";
    EXPECT_EQ(ClassifyDrive(probe, "/m/x"), Unknown); // by its own name, nothing is found
    probe.devRoot = dev.path();
    EXPECT_EQ(ClassifyDrive(probe, "/m/x"), Removable);
}

TEST(DriveKindClassifier, OddInputIsNotDetermined) {
    DriveProbe probe = Fixture("sata");
    EXPECT_EQ(ClassifyDrive(probe, ""), Unknown);
    EXPECT_EQ(ClassifyDrive(probe, "relative/path"), Unknown);
    probe.mountinfo = "garbage\n\n1 2 3\n";
    EXPECT_EQ(ClassifyDrive(probe, "/home"), Unknown);
    probe.sysRoot = "/nonexistent-sys";
    probe.mountinfo = "1 0 8:2 / / rw - ext4 /dev/sda2 rw\n";
    EXPECT_EQ(ClassifyDrive(probe, "/home"), Unknown);
}

TEST(ParseMountInfo, ReadsFieldsAndUndoesEscapes) {
    const auto mounts = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt/with\\040blank rw,noatime master:1 shared:2 - ext3 /dev/root "
        "rw,errors=continue\n"
        "37 35 0:50 / /back\\134slash rw - tmpfs tmpfs rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].major, 98u);
    EXPECT_EQ(mounts[0].minor, 0u);
    EXPECT_EQ(mounts[0].root, "/mnt1");
    EXPECT_EQ(mounts[0].mountPoint, "/mnt/with blank");
    EXPECT_EQ(mounts[0].fsType, "ext3");
    EXPECT_EQ(mounts[0].source, "/dev/root");
    EXPECT_EQ(mounts[0].superOptions, "rw,errors=continue");
    EXPECT_EQ(mounts[1].mountPoint, "/back\\slash");
    EXPECT_EQ(MountHolding(mounts, "/mnt/with blank/x"), &mounts[0]);
    EXPECT_EQ(MountHolding(mounts, "/mnt/with"), nullptr);
}

// This machine's own mounts, through the real DriveKind.
TEST(DriveKind, ThisMachine) {
    EXPECT_EQ(DriveKind(""), NoRoot);
    EXPECT_EQ(DriveKind("/no/such/folder/anywhere"), NoRoot);
    EXPECT_NE(DriveKind("/proc"), Fixed);
    // The build folder is on some real drive of this machine, whatever it is.
    const int build = DriveKind(VELLARO_BUILD_DIR);
    EXPECT_NE(build, Unknown);
    EXPECT_NE(build, NoRoot);

    // A tmpfs this process can see is a RAM disk.
    const auto mounts = ParseMountInfo(test::ReadFile("/proc/self/mountinfo"));
    for (const MountEntry& m : mounts) {
        if (m.fsType != "tmpfs")
            continue;
        std::error_code ec;
        if (!fs::is_directory(m.mountPoint, ec) || MountHolding(mounts, m.mountPoint) != &m)
            continue; // hidden under another mount
        EXPECT_EQ(DriveKind(m.mountPoint), RamDisk) << m.mountPoint;
        return;
    }
    GTEST_SKIP() << "no visible tmpfs on this machine";
}

} // namespace
} // namespace vellaro
