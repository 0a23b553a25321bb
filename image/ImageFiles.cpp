#include "image/ImageFiles.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Failure(const char* what, const std::filesystem::path& path, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports the error, which for some file systems is the write's own.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Reads until the buffer is full or the file ends; returns the count, or -errno.
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

// A name beside the target that no other writer in this or another process picks. It does not
// grow with the target's name, so any name that can be saved can also be saved this way.
std::filesystem::path TemporaryPath(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const std::string name =
        ".image-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    return target.parent_path() / name;
}

// Creates a new file beside the target; returns its descriptor, or -1 with errno set.
int OpenTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryPath(target);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Makes the rename itself durable; a failure here does not undo the save.
void SyncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

} // namespace

FileError ReadImageFile(const std::filesystem::path& path, PagerImage& image) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return Failure("Cannot open", path, errno);
    }
    // Read into a copy so that a failing read leaves the image untouched.
    PagerImage buffer = image;
    const ssize_t count = ReadFully(fd.get(), buffer.data(), buffer.size());
    if (count < 0) {
        return Failure("Cannot read", path, static_cast<int>(-count));
    }
    image = buffer;
    return std::nullopt;
}

FileError SaveImageFile(const std::filesystem::path& path, const PagerImage& image,
                        SaveDurability durability) {
    const bool flush = durability == SaveDurability::Flushed;
    if (path.filename().empty()) {
        return Failure("Cannot save", path, EISDIR);
    }
    std::filesystem::path temporary;
    FileDescriptor fd(OpenTemporary(path, temporary));
    if (!fd.valid()) {
        return Failure("Cannot save", path, errno);
    }
    // A file that exists keeps its permissions; a new one gets the usual ones.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        ::fchmod(fd.get(), existing.st_mode & 07777);
    }

    int error = WriteFully(fd.get(), image.data(), image.size());
    if (error == 0 && flush && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    const int closeError = fd.Close();
    if (error == 0) {
        error = closeError;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return Failure("Cannot save", path, error);
    }
    if (flush) {
        SyncFolder(path.parent_path());
    }
    return std::nullopt;
}

std::filesystem::path WorkingFilePath(const std::string& workingDirectory) {
    return std::filesystem::path(workingDirectory) / "TempData.sav";
}

void WriteWorkingFile(const std::string& workingDirectory, const PagerImage& image) {
    SaveImageFile(WorkingFilePath(workingDirectory), image, SaveDurability::Unflushed);
}
