#pragma once

#include "link/backends/VirtualCradleWire.h"
#include "link/sim/CradleSimulator.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Presents a simulated cradle as a virtual cradle: announces it in the folder, serves one host
// connection at a time on its own thread, and delivers each reply when the simulator says it is
// due. When the simulated cradle vanishes, the connection drops and the announcement goes.
class VirtualCradleServer {
public:
    struct Options {
        std::string serialNumber = "wex_writer";
        std::string description = "USBXpress Device";
        // The stem of the cradle's files (see CheckCradleName); empty: cradle-<pid>-<n>.
        std::string name;
        // Called on the server thread after every exchange, before its reply is due.
        std::function<void(const CradleExchange&)> onExchange;
    };

    enum class StartFailure {
        None,
        NameTaken, // a live simulator already announces a cradle under the name
        Other,
    };

    // Creates the folder if needed, announces the cradle and starts serving. A cradle left
    // under the name by a simulator that died is replaced. On failure returns nullptr with a
    // readable reason in error and, when asked, what kind of failure it was.
    static std::unique_ptr<VirtualCradleServer> Start(std::shared_ptr<CradleSimulator> cradle,
                                                      const std::filesystem::path& folder,
                                                      Options options, std::string& error,
                                                      StartFailure* failure = nullptr);
    ~VirtualCradleServer();
    VirtualCradleServer(const VirtualCradleServer&) = delete;
    VirtualCradleServer& operator=(const VirtualCradleServer&) = delete;

    // Stops serving and withdraws the announcement. Safe to call more than once.
    void Stop();

    const std::filesystem::path& socketPath() const { return socketPath_; }
    // The stem of the cradle's files, for announcing it again under the same name.
    const std::string& name() const { return name_; }
    // True once the simulated cradle vanished and the announcement was withdrawn.
    bool unplugged() const { return unplugged_; }

private:
    struct DueReply {
        std::chrono::steady_clock::time_point due;
        WirePacket packet;
    };

    VirtualCradleServer(std::shared_ptr<CradleSimulator> cradle, Options options);
    void Serve();
    void Accept();
    bool HostHungUp() const;
    // False when the host went away.
    bool HandleHostPacket();
    void HandleData(const WirePacket& packet);
    void SendDueReplies();
    void DropHost();
    void Withdraw();

    std::shared_ptr<CradleSimulator> cradle_;
    Options options_;
    std::string name_;
    std::filesystem::path socketPath_;
    std::filesystem::path announcementPath_;
    int listenFd_ = -1;
    int hostFd_ = -1;
    int wakeFd_ = -1;
    std::vector<DueReply> dueReplies_; // in the order the host must receive them
    std::atomic<bool> unplugged_ = false;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

// Removes announcements (and their sockets) left in the folder by simulators that died.
void RemoveStaleAnnouncements(const std::filesystem::path& folder);
