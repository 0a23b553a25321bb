#include "UmockdevCradle.h"

#include "link/CradleProtocol.h"
#include "link/backends/LibusbBackend.h"
#include "link/backends/UsbXpressIds.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <numeric>
#include <thread>

// umockdev's preloaded library comes before the sanitizer runtime; that order is harmless here.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer runtime looks for this name
extern "C" const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}

namespace {

using namespace std::chrono_literals;

// libusb learns of added and removed devices from udev on its own thread, so a listing may
// lag a moment behind the testbed.
std::vector<UsbDeviceInfo> ListWhenCount(UsbBackend& backend, std::size_t count) {
    std::vector<UsbDeviceInfo> devices;
    for (int attempt = 0; attempt < 200; ++attempt) {
        devices = backend.ListDevices();
        if (devices.size() == count)
            break;
        std::this_thread::sleep_for(10ms);
    }
    return devices;
}

LibusbBackend::Options ImmediateReports() {
    LibusbBackend::Options options;
    options.accessGracePeriod = 0ms;
    options.retryInterval = 0ms;
    return options;
}

// Plays a system where the device node exists but this user may not open it.
class RefusingLibusbBackend : public LibusbBackend {
public:
    using LibusbBackend::LibusbBackend;
    std::atomic<bool> refuse = true;

protected:
    int OpenDevice(libusb_device* device, libusb_device_handle** handle) override {
        return refuse ? LIBUSB_ERROR_ACCESS : LibusbBackend::OpenDevice(device, handle);
    }
};

class LibusbBackendTest : public ::testing::Test {
protected:
    std::shared_ptr<CradleSimulator> cradle = std::make_shared<CradleSimulator>();
};

TEST_F(LibusbBackendTest, ListsOnlyCradlesAndReadsTheirStringsOncePerAppearance) {
    UmockdevCradle usb(cradle);
    usb.AddForeignDevice(0x046D, 0xC52B);
    LibusbBackend backend(ImmediateReports());

    std::vector<UsbDeviceInfo> listed = ListWhenCount(backend, 1);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].serialNumber, "wex_writer");
    EXPECT_EQ(listed[0].description, "USBXpress Device");
    EXPECT_EQ(listed[0].location, "usb:1-1") << "the bus and port path, as lsusb -t names it";
    const int stringReads = usb.log().stringRequests;
    for (int poll = 0; poll < 20; ++poll)
        EXPECT_EQ(backend.ListDevices().size(), 1u);
    EXPECT_EQ(usb.log().stringRequests, stringReads);

    usb.Unplug();
    EXPECT_TRUE(ListWhenCount(backend, 0).empty());
    usb.Plug();
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    EXPECT_GT(usb.log().stringRequests, stringReads);
}

TEST_F(LibusbBackendTest, ProgramReadsAndWritesThroughTheUsbPath) {
    struct Case {
        const char* name;
        std::uint8_t in;
        std::uint8_t out;
        bool inFirst;
    };
    const Case cases[] = {
        {"endpoints 1", 0x81, 0x01, false},
        {"endpoints 2", 0x82, 0x02, false},
        {"in listed first", 0x83, 0x04, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MockCradleDescriptors descriptors;
        descriptors.inEndpoint = c.in;
        descriptors.outEndpoint = c.out;
        descriptors.inEndpointFirst = c.inFirst;
        auto caseCradle = std::make_shared<CradleSimulator>(MakeFactoryPager(FactoryPager::V1));
        UmockdevCradle usb(caseCradle, descriptors);
        auto backend = std::make_shared<LibusbBackend>(ImmediateReports());
        ASSERT_EQ(ListWhenCount(*backend, 1).size(), 1u);

        UsbDeviceLayer library({backend});
        CC8051f320Usb channel(library);
        TransferState transfer;
        CradleProtocol protocol(channel, transfer);
        ASSERT_TRUE(channel.Open(kCradleDeviceString));
        std::optional<Generation> identity;
        ASSERT_TRUE(protocol.Identify(identity));
        EXPECT_EQ(identity, Generation::V1);
        std::array<std::uint8_t, kBlockSize> block{};
        std::iota(block.begin(), block.end(), 100);
        bool verified = false;
        ASSERT_TRUE(protocol.WriteBlock(2048, block.data(), verified));
        EXPECT_TRUE(verified);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), caseCradle->Memory().begin() + 2048));
        channel.Close();

        const MockCradleLog log = usb.log();
        EXPECT_EQ(log.misdirectedTransfers, 0);
        EXPECT_EQ(log.vendorRequests, (std::vector<std::uint16_t>{0x0001, 0x0002, 0x0004}));
        EXPECT_EQ(log.interfaceCalls, (std::vector<std::string>{"claim 0", "release 0"}));
        EXPECT_EQ(protocol.failures(), 0u);
    }
}

TEST_F(LibusbBackendTest, ReadsAndWritesReportWhatTheDeviceDid) {
    struct Case {
        CradleFault fault;
        UsbStatus writeStatus;
        UsbStatus readStatus;
        std::uint32_t readCount;
    };
    const Case cases[] = {
        {CradleFault::None, usb_status::kSuccess, usb_status::kSuccess, kFrameSize},
        {CradleFault::ShortReply, usb_status::kSuccess, usb_status::kSuccess, kFrameSize - 1},
        {CradleFault::NoReply, usb_status::kSuccess, usb_status::kReadTimedOut, 0},
        {CradleFault::ReplyError, usb_status::kSuccess, usb_status::kReadError, 0},
        {CradleFault::RequestRejected, usb_status::kWriteError, usb_status::kReadTimedOut, 0},
    };
    UmockdevCradle usb(cradle);
    LibusbBackend backend(ImmediateReports());
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    UsbBackend::Handle handle = -1;
    ASSERT_EQ(backend.Open(0, handle), usb_status::kSuccess);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(CradleFaultName(c.fault)));
        cradle->InjectAt(cradle->exchangeCount(), c.fault);
        Frame request{'R', 0, 0, 1};
        std::uint32_t written = 0;
        EXPECT_EQ(backend.Write(handle, request.data(), kFrameSize, written, 200), c.writeStatus);
        Frame reply{};
        std::uint32_t read = 0;
        EXPECT_EQ(backend.Read(handle, reply.data(), kFrameSize, read, 200), c.readStatus);
        EXPECT_EQ(read, c.readCount);
    }
    backend.Close(handle);
}

TEST_F(LibusbBackendTest, BytesBeyondAReadWaitForTheNextOne) {
    UmockdevCradle usb(cradle);
    LibusbBackend backend(ImmediateReports());
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    UsbBackend::Handle handle = -1;
    ASSERT_EQ(backend.Open(0, handle), usb_status::kSuccess);

    Frame request{'R', 0, 0, 1};
    std::uint32_t count = 0;
    ASSERT_EQ(backend.Write(handle, request.data(), kFrameSize, count, 200), usb_status::kSuccess);
    Frame reply{};
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    ASSERT_EQ(backend.Read(handle, reply.data(), 10, first, 200), usb_status::kSuccess);
    ASSERT_EQ(backend.Read(handle, reply.data() + 10, 26, second, 200), usb_status::kSuccess);
    EXPECT_EQ(first + second, kFrameSize);
    EXPECT_TRUE(std::equal(reply.begin() + 4, reply.end(), cradle->Memory().begin()));
    backend.Close(handle);
}

TEST_F(LibusbBackendTest, UnpluggedCradleFailsTransfersAndComesBack) {
    UmockdevCradle usb(cradle);
    LibusbBackend backend(ImmediateReports());
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    UsbBackend::Handle handle = -1;
    ASSERT_EQ(backend.Open(0, handle), usb_status::kSuccess);

    usb.Unplug();
    Frame frame{'R', 0, 0, 1};
    std::uint32_t count = 0;
    EXPECT_NE(backend.Write(handle, frame.data(), kFrameSize, count, 200), usb_status::kSuccess);
    EXPECT_NE(backend.Read(handle, frame.data(), kFrameSize, count, 200), usb_status::kSuccess);
    backend.Close(handle);
    EXPECT_TRUE(ListWhenCount(backend, 0).empty());

    usb.Plug();
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    ASSERT_EQ(backend.Open(0, handle), usb_status::kSuccess);
    EXPECT_EQ(backend.Write(handle, frame.data(), kFrameSize, count, 200), usb_status::kSuccess);
    backend.Close(handle);
}

TEST_F(LibusbBackendTest, RefusedAccessIsReportedOncePerAppearanceWithTheFix) {
    UmockdevCradle usb(cradle);
    RefusingLibusbBackend backend(ImmediateReports());
    const std::vector<UsbDeviceInfo> listed = ListWhenCount(backend, 1);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].serialNumber.has_value());
    EXPECT_TRUE(listed[0].accessDenied);

    const std::optional<std::string> problem = backend.TakeAccessProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find(UdevRuleFor(kCradleUsbIds[0])), std::string::npos);
    EXPECT_NE(problem->find("udevadm control --reload-rules"), std::string::npos);
    for (int poll = 0; poll < 5; ++poll)
        backend.ListDevices();
    EXPECT_FALSE(backend.TakeAccessProblem().has_value());

    usb.Unplug();
    ListWhenCount(backend, 0);
    usb.Plug();
    ListWhenCount(backend, 1);
    EXPECT_TRUE(backend.TakeAccessProblem().has_value());

    // Once access is granted, the next poll reads the strings.
    backend.refuse = false;
    EXPECT_EQ(backend.ListDevices().at(0).serialNumber, "wex_writer");
    EXPECT_FALSE(backend.ListDevices().at(0).accessDenied);
    EXPECT_FALSE(backend.TakeAccessProblem().has_value());
}

TEST_F(LibusbBackendTest, BriefRefusalRightAfterPlugInIsNotReported) {
    UmockdevCradle usb(cradle);
    LibusbBackend::Options options = ImmediateReports();
    options.accessGracePeriod = 1h;
    RefusingLibusbBackend backend(options);
    ASSERT_EQ(ListWhenCount(backend, 1).size(), 1u);
    backend.ListDevices();
    EXPECT_FALSE(backend.TakeAccessProblem().has_value());
}

} // namespace
