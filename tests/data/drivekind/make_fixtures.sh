#!/bin/bash
# Rebuilds the drive kind fixtures: for each case a mountinfo file and a small sysfs tree shaped
# as the kernel shows it (device folders under devices/, with dev/block/M:m, class/block/<name>
# and block/<name> as relative links to them, slaves/ links for mapped devices).
# Run from anywhere: bash tests/data/drivekind/make_fixtures.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

C= # the case being built

begin() {
    C=$1
    rm -rf "$C"
    mkdir -p "$C/sys/dev/block" "$C/sys/class/block" "$C/sys/block" "$C/sys/devices"
    : >"$C/mountinfo"
}

mount_line() { printf '%s\n' "$*" >>"$C/mountinfo"; }

links() { # name M:m devpath
    ln -sr "$C/sys/$3" "$C/sys/dev/block/$2"
    ln -sr "$C/sys/$3" "$C/sys/class/block/$1"
}

disk() { # devpath M:m removable
    local name
    name=$(basename "$1")
    mkdir -p "$C/sys/$1"
    echo "$2" >"$C/sys/$1/dev"
    echo "$3" >"$C/sys/$1/removable"
    links "$name" "$2" "$1"
    ln -sr "$C/sys/$1" "$C/sys/block/$name"
}

part() { # diskpath partname M:m number
    mkdir -p "$C/sys/$1/$2"
    echo "$3" >"$C/sys/$1/$2/dev"
    echo "$4" >"$C/sys/$1/$2/partition"
    links "$2" "$3" "$1/$2"
}

dm() { # dm-N M:m mapper-name slave-devpath...
    local p="devices/virtual/block/$1" s
    disk "$p" "$2" 0
    mkdir -p "$C/sys/$p/dm" "$C/sys/$p/slaves"
    echo "$3" >"$C/sys/$p/dm/name"
    shift 3
    for s in "$@"; do
        ln -sr "$C/sys/$s" "$C/sys/$p/slaves/$(basename "$s")"
    done
}

SATA=devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda
SATA2=devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block/sdb
NVME=devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1
USB=devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb
USB2=devices/pci0000:00/0000:00:14.0/usb3/3-2/3-2:1.0/host7/target7:0:0/7:0:0:0/block/sdc
PROC='22 1 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:13 - proc proc rw'
SYS='23 1 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:2 - sysfs sysfs rw'
ROOT_SDA2='1 0 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro'

# A SATA disk: partitions, a bind mount, a snap (squashfs on a loop device over a file on disk).
begin sata
disk "$SATA" 8:0 0
part "$SATA" sda1 8:1 1
part "$SATA" sda2 8:2 2
part "$SATA" sda3 8:3 3
disk devices/virtual/block/loop0 7:0 0
mkdir -p "$C/sys/devices/virtual/block/loop0/loop"
echo /var/lib/snapd/snaps/core_1.snap >"$C/sys/devices/virtual/block/loop0/loop/backing_file"
disk devices/virtual/block/loop1 7:1 0
mount_line "$ROOT_SDA2"
mount_line "$PROC"
mount_line "$SYS"
mount_line '30 1 8:1 / /boot/efi rw,relatime shared:5 - vfat /dev/sda1 rw,fmask=0077'
mount_line '31 1 8:3 / /home rw,relatime shared:6 - ext4 /dev/sda3 rw'
mount_line '32 1 8:3 /user/data /srv/data rw,relatime shared:6 - ext4 /dev/sda3 rw'
mount_line '33 1 7:0 / /snap/core/1 ro,nodev,relatime shared:7 - squashfs /dev/loop0 ro'
mount_line '34 1 7:1 / /mnt/loose ro,relatime shared:8 - squashfs /dev/loop1 ro'

# NVMe.
begin nvme
disk "$NVME" 259:0 0
part "$NVME" nvme0n1p1 259:1 1
part "$NVME" nvme0n1p2 259:2 2
mount_line '1 0 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw'
mount_line '25 1 259:1 / /boot/efi rw,relatime shared:5 - vfat /dev/nvme0n1p1 rw'
mount_line "$PROC"

# LVM: logical volumes on a SATA partition, and a volume group on a USB disk.
begin lvm
disk "$SATA" 8:0 0
part "$SATA" sda1 8:1 1
part "$SATA" sda2 8:2 2
disk "$USB" 8:16 0
part "$USB" sdb1 8:17 1
dm dm-0 253:0 vg0-root "$SATA/sda2"
dm dm-1 253:1 vg0-home "$SATA/sda2"
dm dm-2 253:2 backup-data "$USB/sdb1"
mount_line '1 0 253:0 / / rw,relatime shared:1 - ext4 /dev/mapper/vg0-root rw'
mount_line '26 1 253:1 / /home rw,relatime shared:2 - ext4 /dev/mapper/vg0-home rw'
mount_line '27 1 8:1 / /boot rw,relatime shared:3 - ext4 /dev/sda1 rw'
mount_line '40 1 253:2 / /mnt/backup rw,relatime shared:4 - ext4 /dev/mapper/backup-data rw'

# dm-crypt: LUKS on NVMe, LVM inside it (two levels of device mapper).
begin dmcrypt
disk "$NVME" 259:0 0
part "$NVME" nvme0n1p1 259:1 1
part "$NVME" nvme0n1p3 259:3 3
dm dm-0 253:0 luks-3f2a "$NVME/nvme0n1p3"
dm dm-1 253:1 vg-root devices/virtual/block/dm-0
dm dm-2 253:2 vg-home devices/virtual/block/dm-0
mount_line '1 0 253:1 / / rw,relatime shared:1 - ext4 /dev/mapper/vg-root rw'
mount_line '26 1 253:2 / /home rw,relatime shared:2 - ext4 /dev/mapper/vg-home rw'
mount_line '27 1 259:1 / /boot/efi rw,relatime shared:3 - vfat /dev/nvme0n1p1 rw'

# btrfs shows anonymous device numbers: subvolumes on NVMe, one inside LUKS on a SATA disk,
# one on a USB stick.
begin btrfs
disk "$NVME" 259:0 0
part "$NVME" nvme0n1p2 259:2 2
disk "$SATA2" 8:16 0
part "$SATA2" sdb1 8:17 1
disk "$USB2" 8:32 1
part "$USB2" sdc1 8:33 1
dm dm-0 253:0 luks-data "$SATA2/sdb1"
mount_line '1 0 0:33 /@ / rw,relatime shared:1 - btrfs /dev/nvme0n1p2 rw,ssd,space_cache=v2,subvol=/@'
mount_line '30 1 0:33 /@home /home rw,relatime shared:2 - btrfs /dev/nvme0n1p2 rw,ssd,subvol=/@home'
mount_line '31 1 0:40 / /data rw,relatime shared:3 - btrfs /dev/mapper/luks-data rw'
mount_line '32 1 0:45 / /media/user/STICK rw,relatime shared:4 - btrfs /dev/sdc1 rw'

# USB: a stick that says it is removable, a disk that does not, a mount point with a blank.
begin usb
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
disk "$USB" 8:16 1
part "$USB" sdb1 8:17 1
disk "$USB2" 8:32 0
part "$USB2" sdc1 8:33 1
mount_line "$ROOT_SDA2"
mount_line '50 1 8:17 / /media/user/STICK rw,nosuid,nodev,relatime shared:9 - vfat /dev/sdb1 rw'
mount_line '51 1 8:33 / /media/user/MY\040DISK rw,nosuid,nodev,relatime shared:10 - ext4 /dev/sdc1 rw'

# SD card on a PCI card reader (removable 0), and a soldered eMMC holding the system.
begin sdcard
SD=devices/pci0000:00/0000:00:14.5/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0
EMMC=devices/platform/soc/fe340000.mmc/mmc_host/mmc1/mmc1:0001/block/mmcblk1
disk "$SD" 179:0 0
part "$SD" mmcblk0p1 179:1 1
echo SD >"$C/sys/devices/pci0000:00/0000:00:14.5/mmc_host/mmc0/mmc0:aaaa/type"
ln -sr "$C/sys/devices/pci0000:00/0000:00:14.5/mmc_host/mmc0/mmc0:aaaa" "$C/sys/$SD/device"
disk "$EMMC" 179:32 0
part "$EMMC" mmcblk1p2 179:34 2
echo MMC >"$C/sys/devices/platform/soc/fe340000.mmc/mmc_host/mmc1/mmc1:0001/type"
ln -sr "$C/sys/devices/platform/soc/fe340000.mmc/mmc_host/mmc1/mmc1:0001" "$C/sys/$EMMC/device"
mount_line '1 0 179:34 / / rw,relatime shared:1 - ext4 /dev/mmcblk1p2 rw'
mount_line '60 1 179:1 / /media/user/SDCARD rw,nosuid,nodev,relatime shared:11 - exfat /dev/mmcblk0p1 rw'

# Optical discs: by file system, by drive (a disc in another format), and an ISO image file.
begin optical
OPT=devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
disk "$OPT/sr0" 11:0 1
disk "$OPT/sr1" 11:1 1
disk devices/virtual/block/loop0 7:0 0
mount_line "$ROOT_SDA2"
mount_line '70 1 11:0 / /media/user/DISC ro,nosuid,nodev,relatime shared:12 - iso9660 /dev/sr0 ro'
mount_line '71 1 11:1 / /media/user/MACDISC ro,nosuid,nodev,relatime shared:13 - hfsplus /dev/sr1 ro'
mount_line '72 1 7:0 / /mnt/iso ro,relatime shared:14 - udf /dev/loop0 ro'

# NFS (and a folder whose name only begins like the mount point's).
begin nfs
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
mount_line "$ROOT_SDA2"
mount_line '80 1 0:52 / /mnt/nfs rw,relatime shared:20 - nfs4 server:/export rw,vers=4.2'
mount_line '81 1 0:53 /home /net/home rw,relatime shared:21 - nfs server:/srv rw,vers=3'

# CIFS / SMB.
begin cifs
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
mount_line "$ROOT_SDA2"
mount_line '90 1 0:60 / /mnt/share rw,relatime shared:30 - cifs //server/share rw,vers=3.1.1'
mount_line '91 1 0:61 / /mnt/smb3 rw,relatime shared:31 - smb3 //nas/docs rw'

# sshfs, beside a FUSE file system of unknown kind inside a tmpfs.
begin sshfs
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
mount_line "$ROOT_SDA2"
mount_line '100 1 0:70 / /home/user/remote rw,nosuid,nodev,relatime shared:40 - fuse.sshfs user@host:/home/user rw,user_id=1000'
mount_line '101 1 0:48 / /run/user/1000 rw,nosuid,nodev,relatime shared:41 - tmpfs tmpfs rw,mode=700'
mount_line '102 101 0:50 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:42 - fuse.gvfsd-fuse gvfsd-fuse rw'

# RAM disks: tmpfs, ramfs, zram; pseudo file systems; two mounts stacked on one mount point.
begin tmpfs
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
disk devices/virtual/block/zram0 254:0 0
mount_line "$ROOT_SDA2"
mount_line "$PROC"
mount_line "$SYS"
mount_line '110 1 0:30 / /tmp rw,nosuid,nodev shared:50 - tmpfs tmpfs rw,size=8G'
mount_line '111 1 0:31 / /mnt/ram rw,relatime shared:51 - ramfs ramfs rw'
mount_line '112 1 254:0 / /var/cache rw,relatime shared:52 - ext4 /dev/zram0 rw'
mount_line '113 1 8:2 /srv /mnt/stack rw,relatime shared:1 - ext4 /dev/sda2 rw'
mount_line '114 113 0:32 / /mnt/stack rw,relatime shared:53 - tmpfs tmpfs rw'

# Overlays: over a USB stick, a read-only one over tmpfs layers.
begin overlay
disk "$SATA" 8:0 0
part "$SATA" sda2 8:2 2
disk "$USB" 8:16 1
part "$USB" sdb1 8:17 1
mount_line "$ROOT_SDA2"
mount_line '120 1 8:17 / /mnt/usb rw,relatime shared:60 - vfat /dev/sdb1 rw'
mount_line '121 1 0:80 / /mnt/merged rw,relatime shared:61 - overlay overlay rw,lowerdir=/srv/lower,upperdir=/mnt/usb/upper,workdir=/mnt/usb/work'
mount_line '122 1 0:81 / /layers rw,relatime shared:62 - tmpfs tmpfs rw'
mount_line '123 1 0:82 / /mnt/ro ro,relatime shared:63 - overlay overlay ro,lowerdir=/layers/a:/srv/b'
mount_line '125 1 0:84 / /mnt/a:b rw,relatime shared:65 - tmpfs tmpfs rw'
mount_line '126 1 0:85 / /mnt/colon ro,relatime shared:66 - overlay overlay ro,lowerdir=/mnt/a\:b/l:/srv/b'
mount_line '124 1 0:83 / /mnt/comma rw,relatime shared:64 - overlay overlay rw,lowerdir=/srv/l,upperdir=/mnt/usb/a\054b,workdir=/mnt/usb/w'

# A container's root: an overlay whose layers lie in another mount namespace.
begin container
mount_line '500 400 0:120 / / rw,relatime master:1 - overlay overlay rw,lowerdir=/var/lib/docker/overlay2/l/ABC,upperdir=/var/lib/docker/overlay2/123/diff,workdir=/var/lib/docker/overlay2/123/work'
mount_line '501 500 0:121 / /proc rw,nosuid,nodev,noexec,relatime - proc proc rw'
mount_line '502 500 0:122 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755'

# A live system: its root overlay keeps its changes in RAM.
begin live
mount_line '1 0 0:30 / /run/live/overlay rw,relatime shared:2 - tmpfs tmpfs rw,mode=755'
mount_line '2 1 0:31 / / rw,noatime shared:1 - overlay overlay rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,upperdir=/run/live/overlay/rw,workdir=/run/live/overlay/work'

# ZFS datasets name their pool, not a block device; bcachefs names its devices, joined by ':'.
begin zfs
disk "$NVME" 259:0 0
part "$NVME" nvme0n1p1 259:1 1
part "$NVME" nvme0n1p3 259:3 3
disk "$SATA" 8:0 0
part "$SATA" sda1 8:1 1
part "$SATA" sda2 8:2 2
disk "$USB2" 8:32 1
part "$USB2" sdc1 8:33 1
mount_line '1 0 0:23 / / rw,relatime shared:1 - zfs rpool/ROOT/debian rw,xattr,posixacl'
mount_line '30 1 0:45 / /home rw,relatime shared:2 - zfs rpool/home rw,xattr,posixacl'
mount_line '31 1 259:1 / /boot/efi rw,relatime shared:3 - vfat /dev/nvme0n1p1 rw'
mount_line '32 1 0:50 / /data rw,relatime shared:4 - bcachefs /dev/nvme0n1p3:/dev/sda1 rw'
mount_line '33 1 0:51 / /media/user/CACHE rw,relatime shared:5 - bcachefs /dev/sdc1 rw'
mount_line '34 1 0:52 / /mnt/mixed rw,relatime shared:6 - bcachefs /dev/sda2:/dev/sdc1 rw'
