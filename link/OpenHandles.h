#pragma once

#include "link/UsbBackend.h"

#include <map>
#include <memory>
#include <mutex>

// A backend's table of open handles: each open connection under a handle of its own, never
// reused. Safe from any thread; its lock is taken last, after any lock of the backend's.
// Transfers hold a connection by its shared pointer, so a close on another thread lets a
// running transfer end before the connection goes.
template <typename Connection> class OpenHandles {
public:
    using Handle = UsbBackend::Handle;

    Handle Add(std::shared_ptr<Connection> connection) {
        std::lock_guard lock(mutex_);
        const Handle handle = next_++;
        open_.emplace(handle, std::move(connection));
        return handle;
    }

    // The connection open under the handle, or null.
    std::shared_ptr<Connection> Find(Handle handle) const {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        return found == open_.end() ? nullptr : found->second;
    }

    // Removes the handle and returns its connection, or null when it was not open.
    std::shared_ptr<Connection> Take(Handle handle) {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            return nullptr;
        }
        std::shared_ptr<Connection> connection = std::move(found->second);
        open_.erase(found);
        return connection;
    }

    void Clear() {
        std::lock_guard lock(mutex_);
        open_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::map<Handle, std::shared_ptr<Connection>> open_;
    Handle next_ = 1;
};
