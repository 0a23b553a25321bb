#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

// Plain files opened so that a named pipe, a device or a folder is refused before a byte moves:
// opening never waits for a writer or a carrier, so a pipe chosen by mistake cannot hang a
// caller. Errors come back as a text a user can read; nullopt is success.
using FileError = std::optional<std::string>;

// "<what> <path>: <reason>", the shape of every file message.
std::string FileFailure(const char* what, const std::filesystem::path& path,
                        const std::string& reason);
std::string FileFailure(const char* what, const std::filesystem::path& path, int error);

// "not a regular file (a named pipe)" and the like, for a file of this type.
std::string NotRegularReason(mode_t mode);

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd);
    // Closes now and returns errno or 0; for some file systems the error is the write's own.
    int Close();

private:
    int fd_ = -1;
};

// Opens an existing regular file with these open flags (O_RDONLY or O_WRONLY, never O_CREAT);
// returns the reason when it cannot be opened or is not a regular file.
std::optional<std::string> OpenRegularFile(const std::filesystem::path& path, int flags,
                                           FileDescriptor& fd);

// Reads until the buffer is full or the file ends; returns the count, or -errno.
ssize_t ReadFully(int fd, std::uint8_t* buffer, std::size_t size);
// Writes all bytes; returns 0 or errno.
int WriteFully(int fd, const std::uint8_t* data, std::size_t size);

// The whole contents of a regular file (a settings file, for example).
FileError ReadRegularFile(const std::filesystem::path& path, std::string& contents);
