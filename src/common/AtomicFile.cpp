#include "common/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vellaro {

namespace {

void SetError(std::string* errorText, int err) {
    if (errorText)
        *errorText = std::strerror(err);
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

} // namespace

bool AtomicWriteFile(const std::filesystem::path& target, std::string_view bytes,
                     std::string* errorText) {
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // The temporary file must live in the same folder so that rename() replaces atomically. Its
    // name is fixed, so a write cut short by a kill leaves at most one stray file per target,
    // which the next write replaces; unlink + O_EXCL | O_NOFOLLOW keep a planted link harmless.
    const std::string tmpl = (dir / ("." + target.filename().string() + ".part")).string();
    ::unlink(tmpl.c_str());
    const int fd = ::open(tmpl.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetError(errorText, errno);
        return false;
    }
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            ::unlink(tmpl.c_str());
            SetError(errorText, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
            return false;
        }
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        SetError(errorText, err);
        return false;
    }
    // Make the rename itself durable.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool MakePrivateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    if (folder.empty())
        return false;
    if (std::filesystem::is_directory(folder, ec))
        return true;
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !MakePrivateFolders(parent))
        return false;
    if (::mkdir(folder.c_str(), 0700) == 0) {
        // Set again after mkdir, so that an unusual umask cannot leave the folder unusable.
        ::chmod(folder.c_str(), 0700);
        return true;
    }
    // Made meanwhile by someone else: good if it is a folder.
    return errno == EEXIST && std::filesystem::is_directory(folder, ec);
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes, std::size_t maxBytes,
                   bool* tooLarge) {
    if (tooLarge)
        *tooLarge = false;
    bytes.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        if (tooLarge)
            *tooLarge = true;
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            bytes.clear();
            if (tooLarge)
                *tooLarge = true;
            return false;
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace vellaro
