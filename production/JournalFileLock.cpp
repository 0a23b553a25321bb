#include "production/JournalFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>

namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

std::mutex heldFilesMutex;
std::set<FileIdentity> heldFiles;

constexpr const char* kInUseText = "is recording another batch (only one program records in a "
                                   "journal at a time)";

} // namespace

JournalFileLock::JournalFileLock(const std::string& path) : path_(path) {
    std::lock_guard lock(heldFilesMutex);
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && heldFiles.contains({status.st_dev, status.st_ino})) {
        throw std::runtime_error(kInUseText);
    }
    descriptor_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor_ < 0) {
        throw std::runtime_error(std::string("cannot open: ") + std::strerror(errno));
    }
    if (flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(descriptor_);
        throw std::runtime_error(error == EWOULDBLOCK
                                     ? kInUseText
                                     : std::string("cannot lock: ") + std::strerror(error));
    }
    fstat(descriptor_, &status);
    device_ = status.st_dev;
    inode_ = status.st_ino;
    heldFiles.insert({device_, inode_});
}

bool JournalFileLock::StillNamesTheFile() const {
    struct stat status {};
    return stat(path_.c_str(), &status) == 0 && status.st_dev == device_ &&
           status.st_ino == inode_;
}

JournalFileLock::~JournalFileLock() {
    std::lock_guard lock(heldFilesMutex);
    heldFiles.erase({device_, inode_});
    close(descriptor_);
}
