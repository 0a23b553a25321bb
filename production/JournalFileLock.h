#pragma once

#include <string>
#include <sys/types.h>

// An exclusive hold on a journal file for one recording program, so that two batches never
// record in one journal at once. Taken with flock(), which SQLite's own fcntl() locks do not
// touch; a file this process already holds is refused without opening it again, since closing
// any descriptor of a file drops the fcntl() locks SQLite keeps on it. Creates the file when
// missing. Throws std::runtime_error when the hold cannot be had.
class JournalFileLock {
public:
    explicit JournalFileLock(const std::string& path);
    ~JournalFileLock();

    // Whether the path still names the file held: false once it was deleted or replaced.
    bool StillNamesTheFile() const;
    JournalFileLock(const JournalFileLock&) = delete;
    JournalFileLock& operator=(const JournalFileLock&) = delete;

private:
    std::string path_;
    int descriptor_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};
