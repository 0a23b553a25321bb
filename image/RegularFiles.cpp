#include "image/RegularFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FileFailure(const char* what, const std::filesystem::path& path,
                        const std::string& reason) {
    return std::string(what) + " " + path.string() + ": " + reason;
}

std::string FileFailure(const char* what, const std::filesystem::path& path, int error) {
    return FileFailure(what, path, std::string(std::strerror(error)));
}

std::string NotRegularReason(mode_t mode) {
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a named pipe"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "of an unknown type";
    return std::string("not a regular file (") + kind + ")";
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

int FileDescriptor::Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
}

std::optional<std::string> OpenRegularFile(const std::filesystem::path& path, int flags,
                                           FileDescriptor& fd) {
    // Looking first keeps devices from being opened at all; the check on the open descriptor
    // below is the one that counts, as the name may change in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return NotRegularReason(info.st_mode);
    }
    // Non-blocking, so that opening a pipe does not wait for its other end.
    fd.reset(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return std::string(std::strerror(errno));
    }
    if (::fstat(fd.get(), &info) != 0) {
        return std::string(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        fd.reset(-1);
        return NotRegularReason(info.st_mode);
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return std::nullopt;
}

ssize_t ReadFully(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -errno;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

int WriteFully(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

FileError ReadRegularFile(const std::filesystem::path& path, std::string& contents) {
    FileDescriptor fd;
    if (std::optional<std::string> reason = OpenRegularFile(path, O_RDONLY, fd)) {
        return FileFailure("Cannot open", path, *reason);
    }
    std::string text;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = ReadFully(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            return FileFailure("Cannot read", path, static_cast<int>(-count));
        }
        text.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(count));
        if (static_cast<std::size_t>(count) < sizeof buffer) {
            break;
        }
    }
    contents = std::move(text);
    return std::nullopt;
}
