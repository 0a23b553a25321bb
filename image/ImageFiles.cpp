#include "image/ImageFiles.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Follows a chain of symbolic links at the end of the path to the file they name (which need
// not exist yet), so that a save replaces the file and leaves the links as they are. Returns 0
// or errno.
int FollowLinks(const std::filesystem::path& path, std::filesystem::path& target) {
    constexpr int kMaxLinks = 40; // the kernel's own limit
    target = path;
    for (int link = 0; link < kMaxLinks; ++link) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return 0; // whatever is wrong with the name, the save reports it
        }
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) {
            return error.value();
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return ELOOP;
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

// Writes the image into the new temporary file and renames it over the target; returns 0 or
// errno, and removes the temporary file on failure.
int ReplaceWithTemporary(FileDescriptor& fd, const std::filesystem::path& temporary,
                         const std::filesystem::path& target, const struct stat* existing,
                         std::span<const std::uint8_t> image, bool flush) {
    // A file that exists keeps its permissions; a new one gets the usual ones.
    if (existing != nullptr) {
        ::fchmod(fd.get(), existing->st_mode & 07777);
    }
    int error = WriteFully(fd.get(), image.data(), image.size());
    if (error == 0 && flush && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    const int closeError = fd.Close();
    if (error == 0) {
        error = closeError;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    if (flush) {
        SyncFolder(target.parent_path());
    }
    return 0;
}

// Rewrites an existing file through its own descriptor, for a folder that does not let us put
// a new file beside it. The old bytes are overwritten before the file is cut to the image's
// length, so a failing write loses as little as it can.
FileError OverwriteInPlace(const std::filesystem::path& path, const std::filesystem::path& target,
                           std::span<const std::uint8_t> image, bool flush) {
    FileDescriptor fd;
    if (std::optional<std::string> reason = OpenRegularFile(target, O_WRONLY, fd)) {
        return FileFailure("Cannot save", path, *reason);
    }
    int error = WriteFully(fd.get(), image.data(), image.size());
    if (error == 0 && ::ftruncate(fd.get(), static_cast<off_t>(image.size())) != 0) {
        error = errno;
    }
    if (error == 0 && flush && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    const int closeError = fd.Close();
    if (error == 0) {
        error = closeError;
    }
    return error == 0 ? FileError() : FileFailure("Cannot save", path, error);
}

} // namespace

FileError ReadImageFile(const std::filesystem::path& path, PagerImage& image) {
    FileDescriptor fd;
    if (std::optional<std::string> reason = OpenRegularFile(path, O_RDONLY, fd)) {
        return FileFailure("Cannot open", path, *reason);
    }
    // Read into a copy so that a failing read leaves the image untouched.
    PagerImage buffer = image;
    const ssize_t count = ReadFully(fd.get(), buffer.data(), buffer.size());
    if (count < 0) {
        return FileFailure("Cannot read", path, static_cast<int>(-count));
    }
    image = buffer;
    return std::nullopt;
}

FileError SaveImageFile(const std::filesystem::path& path, const PagerImage& image,
                        SaveDurability durability) {
    return SaveFileContents(path, image, durability);
}

FileError SaveFileContents(const std::filesystem::path& path, std::span<const std::uint8_t> image,
                           SaveDurability durability) {
    const bool flush = durability == SaveDurability::Flushed;
    if (path.filename().empty()) {
        return FileFailure("Cannot save", path, EISDIR);
    }
    std::filesystem::path target;
    if (const int error = FollowLinks(path, target)) {
        return FileFailure("Cannot save", path, error);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // Renaming over a pipe or a device would replace it; writing into one could block.
    if (exists && !S_ISREG(existing.st_mode)) {
        return FileFailure("Cannot save", path, NotRegularReason(existing.st_mode));
    }
    std::filesystem::path temporary;
    FileDescriptor fd(OpenTemporary(target, temporary));
    if (!fd.valid()) {
        const int error = errno;
        // A folder we may not write can still hold a file we may.
        if (exists && (error == EACCES || error == EPERM)) {
            return OverwriteInPlace(path, target, image, flush);
        }
        return FileFailure("Cannot save", path, error);
    }
    const int error =
        ReplaceWithTemporary(fd, temporary, target, exists ? &existing : nullptr, image, flush);
    return error == 0 ? FileError() : FileFailure("Cannot save", path, error);
}

std::filesystem::path WorkingFilePath(const std::string& workingDirectory) {
    return std::filesystem::path(workingDirectory) / "TempData.sav";
}

void WriteWorkingFile(const std::string& workingDirectory, const PagerImage& image) {
    SaveImageFile(WorkingFilePath(workingDirectory), image, SaveDurability::Unflushed);
}
