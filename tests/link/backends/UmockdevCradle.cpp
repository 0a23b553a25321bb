#include "UmockdevCradle.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kStringDescriptor = 0x03;
constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kUsbXpressRequest = 0x02;
constexpr std::size_t kSetupSize = 8;
constexpr std::size_t kPacketSize = 64;
constexpr const char* kPortPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Device descriptor, then one configuration with one vendor-specific interface and two bulk
// endpoints, as the sysfs "descriptors" file holds them.
std::vector<std::uint8_t> Descriptors(std::uint16_t vendor, std::uint16_t product, std::uint8_t in,
                                      std::uint8_t out, bool inFirst) {
    std::vector<std::uint8_t> d = {18, 1, 0x00, 0x02, 0, 0, 0, 64};
    PutWord(d, vendor);
    PutWord(d, product);
    d.insert(d.end(), {0x00, 0x01, 1, 2, 3, 1});
    d.insert(d.end(), {9, 2, 32, 0, 1, 1, 0, 0x80, 50});
    d.insert(d.end(), {9, 4, 0, 0, 2, 0xFF, 0, 0, 0});
    const std::vector<std::uint8_t> inEndpoint = {7, 5, in, 2, kPacketSize, 0, 0};
    const std::vector<std::uint8_t> outEndpoint = {7, 5, out, 2, kPacketSize, 0, 0};
    const auto& first = inFirst ? inEndpoint : outEndpoint;
    const auto& second = inFirst ? outEndpoint : inEndpoint;
    d.insert(d.end(), first.begin(), first.end());
    d.insert(d.end(), second.begin(), second.end());
    return d;
}

std::string DeviceNode(int deviceNumber) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", deviceNumber);
    return node;
}

std::string DeviceText(const std::string& syspath, int deviceNumber,
                       const std::vector<std::uint8_t>& descriptors) {
    const std::string node = DeviceNode(deviceNumber);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", deviceNumber);
    return "P: " + syspath.substr(4) + "\nN: " + node.substr(5) +
           "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=" + node +
           "\nE: BUSNUM=001\nE: DEVNUM=" + number +
           "\nA: busnum=1\\n\nA: devnum=" + std::to_string(deviceNumber) +
           "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\nH: descriptors=" + Hex(descriptors) +
           "\n";
}

std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    std::vector<std::uint8_t> d = {static_cast<std::uint8_t>(2 + 2 * text.size()),
                                   kStringDescriptor};
    for (const char c : text) {
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<UmockdevCradle*>(self)->HandleIoctl(client) ? TRUE : FALSE;
}

} // namespace

// One submitted transfer: the client's URB (resolved into our memory) and how it ends.
struct UmockdevCradle::Urb {
    UMockdevIoctlData* data = nullptr;   // the usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr; // its buffer
    usbdevfs_urb* urb() const { return reinterpret_cast<usbdevfs_urb*>(data->data); }
    int status = 0;
    std::vector<std::uint8_t> result; // bytes to hand the host at reaping
    std::size_t resultOffset = 0;     // after the setup packet for control transfers

    ~Urb() {
        if (buffer != nullptr)
            g_object_unref(buffer);
        if (data != nullptr)
            g_object_unref(data);
    }
};

UmockdevCradle::UmockdevCradle(std::shared_ptr<CradleSimulator> cradle,
                               MockCradleDescriptors descriptors)
    : cradle_(std::move(cradle)), descriptors_(std::move(descriptors)) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "umockdev") == nullptr)
        throw std::runtime_error("run this test under umockdev-wrapper");
    testbed_ = umockdev_testbed_new();
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    AddCradleDevice();
}

UmockdevCradle::~UmockdevCradle() {
    g_object_unref(testbed_);
    g_object_unref(handler_);
}

void UmockdevCradle::AddCradleDevice() {
    auto* testbed = static_cast<UMockdevTestbed*>(testbed_);
    // The handler must be in place before the device appears, or libusb may open it first.
    umockdev_testbed_attach_ioctl(testbed, DeviceNode(deviceNumber_).c_str(),
                                  static_cast<UMockdevIoctlBase*>(handler_), nullptr);
    const std::string text =
        DeviceText(kPortPath, deviceNumber_,
                   Descriptors(descriptors_.vendor, descriptors_.product, descriptors_.inEndpoint,
                               descriptors_.outEndpoint, descriptors_.inEndpointFirst));
    umockdev_testbed_add_from_string(testbed, text.c_str(), nullptr);
}

void UmockdevCradle::AddForeignDevice(std::uint16_t vendor, std::uint16_t product) {
    ++foreignDevices_;
    const int deviceNumber = 100 + foreignDevices_;
    const std::string syspath =
        "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(1 + foreignDevices_);
    const std::string text =
        DeviceText(syspath, deviceNumber, Descriptors(vendor, product, 0x81, 0x01, false));
    umockdev_testbed_add_from_string(static_cast<UMockdevTestbed*>(testbed_), text.c_str(),
                                     nullptr);
}

void UmockdevCradle::Unplug() {
    cradle_->Unplug();
    auto* testbed = static_cast<UMockdevTestbed*>(testbed_);
    umockdev_testbed_uevent(testbed, kPortPath, "remove");
    umockdev_testbed_remove_device(testbed, kPortPath);
    umockdev_testbed_detach_ioctl(testbed, DeviceNode(deviceNumber_).c_str(), nullptr);
    std::lock_guard lock(mutex_);
    inPipe_.clear();
}

void UmockdevCradle::Plug() {
    cradle_->Plug();
    ++deviceNumber_;
    AddCradleDevice();
}

MockCradleLog UmockdevCradle::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

bool UmockdevCradle::HandleIoctl(void* rawClient) {
    auto* client = static_cast<UMockdevIoctlClient*>(rawClient);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    const bool present = cradle_->IsPresent();

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* capabilities =
            umockdev_ioctl_data_resolve(argument, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(capabilities->data) =
            USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
            USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        g_object_unref(capabilities);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_RELEASEINTERFACE: {
        UMockdevIoctlData* number = umockdev_ioctl_data_resolve(argument, 0, 4, nullptr);
        const unsigned interface = *reinterpret_cast<unsigned*>(number->data);
        g_object_unref(number);
        log_.interfaceCalls.push_back(
            (request == USBDEVFS_RELEASEINTERFACE ? "release " : "claim ") +
            std::to_string(interface));
        umockdev_ioctl_client_complete(client, present ? 0 : -1, present ? 0 : ENODEV);
        return true;
    }
    case USBDEVFS_GETDRIVER:
        umockdev_ioctl_client_complete(client, -1, ENODATA); // no kernel driver bound
        return true;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_SUBMITURB: {
        if (!present) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
        auto urb = std::make_shared<Urb>();
        urb->data = umockdev_ioctl_data_resolve(argument, 0, sizeof(usbdevfs_urb), nullptr);
        urb->buffer = umockdev_ioctl_data_resolve(urb->data, offsetof(usbdevfs_urb, buffer),
                                                  urb->urb()->buffer_length, nullptr);
        const std::uint8_t endpoint = urb->urb()->endpoint;
        if (urb->urb()->type == USBDEVFS_URB_TYPE_CONTROL) {
            HandleControl(*urb, urb->buffer->data);
            completed_.push_back(urb);
        } else if (endpoint == descriptors_.outEndpoint) {
            HandleBulkOut(*urb);
            completed_.push_back(urb);
        } else if (endpoint == descriptors_.inEndpoint) {
            waitingIn_.push_back(urb);
        } else {
            ++log_.misdirectedTransfers;
            urb->status = -EPIPE;
            completed_.push_back(urb);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        return Reap(client);
    case USBDEVFS_DISCARDURB:
        return Discard(client);
    default:
        return false;
    }
}

void UmockdevCradle::HandleControl(Urb& urb, const std::uint8_t* setup) {
    const std::uint8_t requestType = setup[0];
    const std::uint8_t request = setup[1];
    const std::uint16_t value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
    const std::size_t length = static_cast<std::size_t>(setup[6] | setup[7] << 8);
    urb.resultOffset = kSetupSize;
    if (requestType == 0x80 && request == kGetDescriptor && value >> 8 == kStringDescriptor) {
        ++log_.stringRequests;
        const std::uint8_t index = value & 0xFF;
        std::vector<std::uint8_t> answer;
        if (index == 0)
            answer = {4, kStringDescriptor, 0x09, 0x04}; // US English only
        else if (index == 2)
            answer = StringDescriptor(descriptors_.productName);
        else if (index == 3)
            answer = StringDescriptor(descriptors_.serialNumber);
        else {
            urb.status = -EPIPE;
            return;
        }
        answer.resize(std::min(answer.size(), length));
        urb.result = std::move(answer);
        return;
    }
    if (requestType == kVendorOut && request == kUsbXpressRequest) {
        log_.vendorRequests.push_back(value);
        return;
    }
    urb.status = -EPIPE; // anything else stalls, as the firmware does
}

void UmockdevCradle::HandleBulkOut(Urb& urb) {
    const auto length = static_cast<std::uint32_t>(urb.urb()->buffer_length);
    const CradleExchange exchange = cradle_->HandleRequest(urb.buffer->data, length);
    if (exchange.requestStatus != usb_status::kSuccess) {
        urb.status = cradle_->IsPresent() ? -EPIPE : -ENODEV;
        return;
    }
    urb.urb()->actual_length = static_cast<int>(exchange.accepted);
    if (!exchange.reply)
        return;
    const CradleReply& reply = *exchange.reply;
    InPacket packet;
    packet.due = std::chrono::steady_clock::now() + reply.delay;
    if (reply.status != usb_status::kSuccess)
        packet.error = EPIPE;
    else
        packet.bytes.assign(reply.bytes.begin(), reply.bytes.begin() + reply.length);
    inPipe_.push_back(std::move(packet));
}

void UmockdevCradle::CompleteInTransfers() {
    const bool present = cradle_->IsPresent();
    while (!waitingIn_.empty()) {
        Urb& urb = *waitingIn_.front();
        if (!present) {
            urb.status = -ENODEV;
        } else {
            if (inPipe_.empty() || inPipe_.front().due > std::chrono::steady_clock::now())
                return;
            InPacket& packet = inPipe_.front();
            if (packet.error != 0)
                urb.status = -packet.error;
            else if (packet.bytes.size() > static_cast<std::size_t>(urb.urb()->buffer_length))
                urb.status = -EOVERFLOW; // the device sent more than the host asked for
            else
                urb.result = std::move(packet.bytes);
            inPipe_.pop_front();
        }
        completed_.push_back(std::move(waitingIn_.front()));
        waitingIn_.erase(waitingIn_.begin());
    }
}

bool UmockdevCradle::Reap(void* rawClient) {
    auto* client = static_cast<UMockdevIoctlClient*>(rawClient);
    CompleteInTransfers();
    if (completed_.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return true;
    }
    const std::shared_ptr<Urb> urb = completed_.front();
    completed_.erase(completed_.begin());
    usbdevfs_urb* raw = urb->urb();
    raw->status = urb->status;
    if (urb->status == 0 && !urb->result.empty()) {
        std::memcpy(static_cast<std::uint8_t*>(raw->buffer) + urb->resultOffset, urb->result.data(),
                    urb->result.size());
        raw->actual_length = static_cast<int>(urb->result.size());
    } else if (urb->status != 0) {
        raw->actual_length = 0;
    }
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client),
                                                             0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urb->data);
    g_object_unref(pointer);
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
}

bool UmockdevCradle::Discard(void* rawClient) {
    auto* client = static_cast<UMockdevIoctlClient*>(rawClient);
    UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
    const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(argument->data));
    for (auto it = waitingIn_.begin(); it != waitingIn_.end(); ++it) {
        if ((*it)->data->client_addr != address)
            continue;
        (*it)->status = -ENOENT; // what the kernel reports for a cancelled transfer
        completed_.push_back(std::move(*it));
        waitingIn_.erase(it);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
}
