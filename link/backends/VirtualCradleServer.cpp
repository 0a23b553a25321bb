#include "link/backends/VirtualCradleServer.h"

#include "link/backends/VirtualCradleAnnouncement.h"
#include "link/backends/VirtualCradleFolder.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;

// How long the server waits for room to send to a host that stopped reading.
constexpr std::chrono::milliseconds kSendTimeout{1000};

std::atomic<unsigned> cradlesStarted{0};

bool WriteFileAtomically(const std::filesystem::path& path, const std::string& text) {
    const std::filesystem::path temporary =
        path.parent_path() / ("." + path.filename().string() + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        std::filesystem::remove(temporary, error);
    return !error;
}

// Simulators starting in one folder take turns, so two cannot claim one name at once.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder)
        : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0)
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (fd_ >= 0)
            close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

// The live simulator that announces a cradle under this file, if any.
std::optional<pid_t> LiveAnnouncer(const std::filesystem::path& announcementPath) {
    const std::optional<VirtualCradleAnnouncement> announcement =
        ReadAnnouncement(announcementPath);
    if (announcement && IsAnnouncerAlive(announcement->pid))
        return announcement->pid;
    return std::nullopt;
}

// Replies are due to the microsecond; poll's whole milliseconds would send them late.
timespec PollTimeoutUntil(Clock::time_point due) {
    const auto left = std::max(Clock::duration::zero(), due - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
}

} // namespace

void RemoveStaleAnnouncements(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension().string() != kAnnouncementSuffix)
            continue;
        const std::optional<VirtualCradleAnnouncement> announcement = ReadAnnouncement(path);
        if (!announcement || IsAnnouncerAlive(announcement->pid))
            continue;
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        std::filesystem::remove(folder / announcement->socketName, ignored);
    }
}

std::unique_ptr<VirtualCradleServer>
VirtualCradleServer::Start(std::shared_ptr<CradleSimulator> cradle,
                           const std::filesystem::path& folder, Options options, std::string& error,
                           StartFailure* failure) {
    StartFailure ignoredFailure = StartFailure::None;
    StartFailure& failed = failure != nullptr ? *failure : ignoredFailure;
    failed = StartFailure::Other;
    if (std::optional<std::string> problem = PrepareVirtualCradleFolder(folder)) {
        error = *problem;
        return nullptr;
    }
    const std::string stem = !options.name.empty() ? options.name
                                                   : "cradle-" + std::to_string(getpid()) + "-" +
                                                         std::to_string(cradlesStarted++);
    if (std::optional<std::string> problem = CheckCradleName(stem)) {
        error = *problem;
        return nullptr;
    }

    const FolderLock lock(folder);
    RemoveStaleAnnouncements(folder);
    const std::filesystem::path announcementPath =
        folder / (stem + std::string(kAnnouncementSuffix));
    if (const std::optional<pid_t> owner = LiveAnnouncer(announcementPath)) {
        error = "a cradle named \"" + stem + "\" is already announced in " + folder.string() +
                " (by process " + std::to_string(*owner) + ")";
        failed = StartFailure::NameTaken;
        return nullptr;
    }

    std::unique_ptr<VirtualCradleServer> server(
        new VirtualCradleServer(std::move(cradle), std::move(options)));
    server->name_ = stem;
    server->socketPath_ = folder / (stem + std::string(kSocketSuffix));

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& path = server->socketPath_.native();
    if (path.size() >= sizeof address.sun_path) {
        error = path + ": path too long for a socket";
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // No live simulator announces this name, so a socket under it is left over from one that
    // died.
    unlink(path.c_str());
    server->listenFd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    server->wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (server->listenFd_ < 0 || server->wakeFd_ < 0 ||
        bind(server->listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(server->listenFd_, 4) != 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }

    // The announcement appears complete or not at all, and only once the socket listens.
    const VirtualCradleAnnouncement announcement{
        server->options_.serialNumber, server->options_.description, getpid(),
        server->socketPath_.filename().string(), server->socketPath_.stem().string()};
    if (!WriteFileAtomically(announcementPath, AnnouncementText(announcement))) {
        error = announcementPath.string() + ": cannot write the announcement";
        return nullptr;
    }
    server->announcementPath_ = announcementPath;
    server->thread_ = std::thread([raw = server.get()] { raw->Serve(); });
    failed = StartFailure::None;
    return server;
}

VirtualCradleServer::VirtualCradleServer(std::shared_ptr<CradleSimulator> cradle, Options options)
    : cradle_(std::move(cradle)), options_(std::move(options)) {}

VirtualCradleServer::~VirtualCradleServer() {
    Stop();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void VirtualCradleServer::Stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    DropHost();
    Withdraw();
}

void VirtualCradleServer::Withdraw() {
    // The announcement goes first, so no lister finds a cradle without its socket.
    std::error_code ignored;
    if (!announcementPath_.empty())
        std::filesystem::remove(announcementPath_, ignored);
    announcementPath_.clear();
    if (listenFd_ >= 0) {
        close(listenFd_);
        listenFd_ = -1;
        std::filesystem::remove(socketPath_, ignored);
    }
}

void VirtualCradleServer::DropHost() {
    if (hostFd_ >= 0)
        close(hostFd_);
    hostFd_ = -1;
    dueReplies_.clear();
}

void VirtualCradleServer::Serve() {
    while (!stopping_) {
        pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {hostFd_, POLLIN, 0}};
        const std::optional<timespec> timeout =
            dueReplies_.empty() ? std::nullopt
                                : std::optional(PollTimeoutUntil(dueReplies_.front().due));
        if (ppoll(fds, 3, timeout ? &*timeout : nullptr, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break;
        // The host first: a program that closed and at once reopened finds its old
        // connection gone rather than the cradle busy.
        if (fds[2].revents != 0 && !HandleHostPacket())
            DropHost();
        if (fds[1].revents != 0)
            Accept();
        SendDueReplies();
        if (!cradle_->IsPresent()) {
            // Pulled out: the host sees its connection drop and the cradle leaves the list.
            DropHost();
            Withdraw();
            unplugged_ = true;
            break;
        }
    }
}

void VirtualCradleServer::Accept() {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (hostFd_ >= 0 && HostHungUp())
        DropHost(); // its last packets no longer matter
    if (hostFd_ >= 0) {
        // Like a USB device, the cradle can be open by one host at a time; the other one is
        // told it is in use, so it can say so instead of "not found".
        SendWirePacket(fd, {WireKind::OpenResult, 0, usb_status::kDeviceInUse, 0, {}},
                       Clock::now() + kSendTimeout);
        // Closing with the newcomer's request still unread would reset its connection and
        // lose the answer: take no more, drop what came, then close.
        shutdown(fd, SHUT_RD);
        WirePacket unread;
        while (ReceiveWaitingWirePacket(fd, unread) == WireWait::Packet) {
        }
        close(fd);
        return;
    }
    hostFd_ = fd;
    dueReplies_.clear();
}

bool VirtualCradleServer::HostHungUp() const {
    pollfd entry{hostFd_, POLLRDHUP, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0;
}

bool VirtualCradleServer::HandleHostPacket() {
    WirePacket packet;
    switch (ReceiveWaitingWirePacket(hostFd_, packet)) {
    case WireWait::Closed:
        return false;
    case WireWait::Timeout:
        return true;
    case WireWait::Packet:
        break;
    }
    if (packet.kind == WireKind::Open) {
        const UsbStatus status =
            cradle_->IsPresent() ? usb_status::kSuccess : usb_status::kDeviceNotFound;
        return SendWirePacket(hostFd_, {WireKind::OpenResult, 0, status, 0, {}},
                              Clock::now() + kSendTimeout) == WireSend::Sent;
    }
    if (packet.kind == WireKind::Data)
        HandleData(packet);
    return true;
}

void VirtualCradleServer::HandleData(const WirePacket& packet) {
    const Clock::time_point received = Clock::now();
    const CradleExchange exchange = cradle_->HandleRequest(
        packet.payload.data(), static_cast<std::uint32_t>(packet.payload.size()));
    SendWirePacket(
        hostFd_,
        {WireKind::DataResult, packet.sequence, exchange.requestStatus, exchange.accepted, {}},
        received + kSendTimeout);
    if (exchange.reply) {
        const CradleReply& reply = *exchange.reply;
        WirePacket answer{WireKind::Reply, packet.sequence, reply.status, 0, {}};
        if (reply.status == usb_status::kSuccess) {
            answer.payload.assign(reply.bytes.begin(), reply.bytes.begin() + reply.length);
            answer.count = reply.length;
        }
        dueReplies_.push_back({received + reply.delay, std::move(answer)});
    }
    if (options_.onExchange)
        options_.onExchange(exchange);
}

void VirtualCradleServer::SendDueReplies() {
    // Replies leave in request order, each no earlier than its due time.
    while (hostFd_ >= 0 && !dueReplies_.empty() && dueReplies_.front().due <= Clock::now()) {
        if (SendWirePacket(hostFd_, dueReplies_.front().packet, Clock::now() + kSendTimeout) !=
            WireSend::Sent) {
            DropHost();
            return;
        }
        dueReplies_.erase(dueReplies_.begin());
    }
}
