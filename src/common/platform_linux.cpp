// The Linux side of the common functions: the learner's real folders, the private temporary
// folder, the drive kind and the store of named values.
#ifndef _WIN32

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "common/Cp932.h"
#include "common/DriveKindLinux.h"
#include "common/Platform.h"
#include "common/PlatformLinux.h"
#include "common/UserFolders.h"
#include "common/ValueStore.h"
#include "common/VellaroError.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

// The fresh folder made when the preferred one could not be trusted; kept for the rest of the
// run so that every caller writes into the same place. It belongs to the folder source it was
// made for.
struct FreshTempFolder {
    fs::path wish;
    fs::path base;
    fs::path folder;
    // Made for this run alone under an unpredictable name, so nothing else will ever use it.
    ~FreshTempFolder();
};
FreshTempFolder& Fresh() {
    static FreshTempFolder fresh;
    return fresh;
}

bool IsPrivatePath(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && IsPrivateFolder(st, ::geteuid());
}

FreshTempFolder::~FreshTempFolder() {
    if (!folder.empty() && IsPrivatePath(folder)) {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
}

// The learner's home folder: $HOME when it is an absolute path, else the account's own.
fs::path LearnerHome() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    const struct passwd* account = ::getpwuid(::geteuid());
    if (account && account->pw_dir && account->pw_dir[0] == '/')
        return account->pw_dir;
    return "/";
}

fs::path WithSeparator(const fs::path& p) {
    return p.empty() ? p : p / "";
}

bool ReadProcFile(const char* path, std::string& text) {
    // /proc files report size 0, so they are read to their end rather than by size.
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

bool IsPrivateFolder(const struct stat& st, uid_t owner) {
    return S_ISDIR(st.st_mode) && st.st_uid == owner && (st.st_mode & 0777) == 0700;
}

fs::path InstanceLockPathFor(const char* runtimeDir, const fs::path& home,
                             const std::string& host) {
    const uid_t me = ::geteuid();
    // A folder of ours alone, made if it is missing.
    const auto privateFolder = [](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 && errno == ENOENT)
            platform::MakePrivateFolder(p);
        return IsPrivatePath(p);
    };
    if (runtimeDir && runtimeDir[0] == '/' && IsPrivatePath(runtimeDir)) {
        const fs::path folder = fs::path(runtimeDir) / "vellaro";
        if (privateFolder(folder))
            return folder / "EX_Mutex";
    }
    if (!home.is_absolute())
        return {};
    // The cache folder may be a link (to another disk, say); it must be the learner's.
    const fs::path cache = home / ".cache";
    struct stat st {};
    if (::stat(cache.c_str(), &st) != 0 && errno == ENOENT && ::mkdir(cache.c_str(), 0700) != 0)
        return {};
    if (::stat(cache.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != me)
        return {};
    const fs::path folder = cache / "vellaro";
    if (!privateFolder(folder))
        return {};
    std::string name = "EX_Mutex";
    if (!host.empty())
        name += "-" + host;
    return folder / name;
}

fs::path InstanceLockPath() {
    try {
        const fs::path home = LearnerHome();
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            host[0] = '\0';
        std::string hostName = host;
        for (char& c : hostName)
            if (c == '/')
                c = '_';
        return InstanceLockPathFor(std::getenv("XDG_RUNTIME_DIR"), home, hostName);
    } catch (...) {
        return {};
    }
}

namespace {

// The holder's record, in the lines that earlier versions read from a lock file: process id,
// program name, host name, an empty machine line (so that the host name decides), boot id.
std::string InstanceRecord() {
    std::string record = std::to_string(::getpid()) + "\n";
    std::error_code ec;
    record += fs::read_symlink("/proc/self/exe", ec).filename().string() + "\n";
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        host[0] = '\0';
    record += std::string(host) + "\n\n";
    std::string boot;
    if (ReadProcFile("/proc/sys/kernel/random/boot_id", boot))
        record += boot.substr(0, boot.find('\n'));
    return record + "\n";
}

} // namespace

InstanceLock::InstanceLock(const fs::path& path) {
    if (path.empty())
        return;
    // Never through a link planted at the name; closed in every program started from here.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_state = errno == EWOULDBLOCK ? State::TakenByAnother : State::Unavailable;
        ::close(fd);
        return;
    }
    m_handle = fd;
    m_state = State::Held;
    // Whatever an earlier holder left is replaced; the lock does not depend on it.
    const std::string record = InstanceRecord();
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, record.data(), record.size(), 0);
}

InstanceLock::~InstanceLock() {
    if (m_handle >= 0)
        ::close(m_handle);
}

bool IsOwnFolder(const fs::path& p) {
    struct stat st {};
    return !p.empty() && ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid();
}

FolderSource SystemFolders() {
    FolderSource s;
    const fs::path home = LearnerHome();
    const fs::path config = ConfigFolder(std::getenv("XDG_CONFIG_HOME"), home);
    s.system = config / "vellaro";
    s.work = DefaultWorkFolderFor(home, config);
    // Where the earlier set-up kept one machine-wide settings folder and the work folder.
    s.earlierSystem = "/var/lib/vellaro";
    s.earlierWork = "/opt/vellaro/java source";
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        s.exe = exe.parent_path();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && fs::is_directory(runtime, ec)) {
        s.tempBase = runtime;
        s.tempWish = s.tempBase / "vellaro";
    } else {
        s.tempBase = "/tmp";
        s.tempWish = "/tmp/vellaro-" + std::to_string(::geteuid());
    }
    // What the program may make again at any time: $XDG_CACHE_HOME, or ~/.cache.
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        s.cache = fs::path(cache) / "vellaro";
    else
        s.cache = home / ".cache" / "vellaro";
    return s;
}

fs::path TempPath() {
    try {
        const FolderSource& src = CurrentFolderSource();
        FreshTempFolder& fresh = Fresh();
        if (fresh.wish != src.tempWish || fresh.base != src.tempBase)
            fresh = FreshTempFolder{src.tempWish, src.tempBase, {}};
        if (!fresh.folder.empty() && IsPrivatePath(fresh.folder))
            return WithSeparator(fresh.folder);

        if (fresh.folder.empty() && !src.tempWish.empty()) {
            struct stat st {};
            if (::lstat(src.tempWish.c_str(), &st) != 0 && errno == ENOENT)
                platform::MakePrivateFolder(src.tempWish);
            if (IsPrivatePath(src.tempWish))
                return WithSeparator(src.tempWish);
        }

        // The preferred folder exists but is not ours alone (or was planted as a link): never
        // use it, make a fresh one with an unpredictable name instead.
        const fs::path base = src.tempBase.empty() ? fs::path("/tmp") : src.tempBase;
        std::string templ = (base / "vellaro-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr)
            return {};
        ::chmod(templ.c_str(), 0700);
        if (!IsPrivatePath(templ))
            return {};
        fresh.folder = templ;
        return WithSeparator(fresh.folder);
    } catch (...) {
        return {};
    }
}

int DriveKind(const fs::path& p) {
    try {
        if (p.empty())
            return 1;
        std::error_code ec;
        const fs::path canonical = fs::canonical(p, ec);
        if (ec)
            return 1;
        DriveProbe probe;
        if (!ReadProcFile("/proc/self/mountinfo", probe.mountinfo))
            return 0;
        probe.sysRoot = "/sys";
        probe.devRoot = "/";
        return ClassifyDrive(probe, canonical.string());
    } catch (...) {
        return 0;
    }
}

void RegWriteStr(const Cp932Text& key, const Cp932Text& name, const Cp932Text& value) {
    StoreResult r = StoreResult::KeyUnavailable;
    try {
        r = WriteStoredValue(SysPath(), key, name, StoredValue{"sz", value});
    } catch (...) {
        r = StoreResult::Refused;
    }
    if (r == StoreResult::Refused) {
        throw VellaroError("'" + Cp932ToUtf8Lossy(name) + "' の設定に失敗しました");
    }
}

Cp932Text RegReadStr(const Cp932Text& key, const Cp932Text& name) {
    try {
        auto v = ReadStoredValue(SysPath(), key, name);
        if (!v || (v->type != "sz" && v->type != "expand_sz"))
            return {};
        const std::string& data = v->data.bytes();
        return Cp932Text(data.substr(0, data.find('\0')));
    } catch (...) {
        return {};
    }
}

} // namespace vellaro

#endif // !_WIN32
