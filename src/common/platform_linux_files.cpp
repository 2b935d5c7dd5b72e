// The Linux side of the core's file operations and of its questions to the environment.
#ifndef _WIN32

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Platform.h"

namespace vellaro::platform {
namespace {

namespace fs = std::filesystem;

std::error_code LastError() {
    return {errno, std::generic_category()};
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Reads what an open regular file holds, up to maxBytes.
ReadResult ReadOpenFile(int fd, std::string& bytes, std::size_t maxBytes) {
    std::array<char, 65536> buf;
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Failed;
        }
        if (n == 0)
            return ReadResult::Read;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return ReadResult::TooLarge;
        bytes.append(buf.data(), static_cast<std::size_t>(n));
    }
}

} // namespace

std::error_code WriteNewFile(const fs::path& file, std::string_view bytes,
                             std::optional<fs::perms> perms) {
    // O_EXCL | O_NOFOLLOW after the unlink: a link planted at the name is never written through.
    ::unlink(file.c_str());
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return LastError();
    const mode_t mode = perms ? static_cast<mode_t>(*perms) & 07777 : NewFileMode();
    std::error_code ec;
    if (!WriteAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        ec = LastError();
    if (::close(fd) != 0 && !ec)
        ec = LastError();
    if (ec)
        ::unlink(file.c_str());
    return ec;
}

std::error_code ReplaceFile(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return LastError();
    // Make the rename itself durable.
    const fs::path dir = to.has_parent_path() ? to.parent_path() : fs::path(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

ReadResult ReadRegularFile(const fs::path& file, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ReadResult::Failed;
    struct stat st {};
    ReadResult result = ReadResult::Failed;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<std::size_t>(st.st_size) > maxBytes) {
            result = ReadResult::TooLarge;
        } else {
            bytes.reserve(static_cast<std::size_t>(st.st_size));
            result = ReadOpenFile(fd, bytes, maxBytes);
        }
    }
    ::close(fd);
    if (result != ReadResult::Read)
        bytes.clear();
    return result;
}

std::error_code MakePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0)
        return LastError();
    // Set again after mkdir, so that an unusual umask cannot leave the folder unusable.
    ::chmod(folder.c_str(), 0700);
    return {};
}

bool IsWritable(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::string ProgramSearchPath() {
    const char* path = std::getenv("PATH");
    return path ? path : "";
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

} // namespace vellaro::platform

#endif // !_WIN32
