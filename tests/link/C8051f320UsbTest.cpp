#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A library with a fixed device list that records every call in order.
class ScriptedUsbLibrary : public UsbXpressLibrary {
public:
    std::vector<std::optional<std::string>> devices; // none: the string query fails
    UsbStatus countStatus = usb_status::kSuccess;
    UsbStatus openStatus = usb_status::kSuccess;
    bool unterminatedStrings = false;
    std::vector<std::string> calls;

    UsbStatus GetNumDevices(std::uint32_t& count) override {
        calls.emplace_back("count");
        count = static_cast<std::uint32_t>(devices.size());
        return countStatus;
    }
    UsbStatus GetProductString(std::uint32_t device, char* buffer,
                               std::uint32_t selector) override {
        calls.push_back("string " + std::to_string(device) + " " + std::to_string(selector));
        if (device >= devices.size() || !devices[device])
            return usb_status::kDeviceNotFound;
        if (unterminatedStrings) {
            std::memset(buffer, 'w', kDeviceStringSize);
            return usb_status::kSuccess;
        }
        std::strcpy(buffer, devices[device]->c_str());
        return usb_status::kSuccess;
    }
    UsbStatus Open(std::uint32_t device, UsbHandle& handle) override {
        calls.push_back("open " + std::to_string(device));
        if (openStatus == usb_status::kSuccess)
            handle = 40 + device;
        return openStatus;
    }
    UsbStatus Close(UsbHandle handle) override {
        calls.push_back("close " + std::to_string(handle));
        return usb_status::kSuccess;
    }
    UsbStatus Read(UsbHandle, void*, std::uint32_t, std::uint32_t& read) override {
        read = 0;
        return usb_status::kReadTimedOut;
    }
    UsbStatus Write(UsbHandle, const void*, std::uint32_t, std::uint32_t& written) override {
        written = 0;
        return usb_status::kWriteError;
    }
    UsbStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        calls.push_back("timeouts " + std::to_string(readMs) + " " + std::to_string(writeMs));
        return usb_status::kSuccess;
    }
};

using Calls = std::vector<std::string>;

} // namespace

TEST(CradleChannel, OpensTheFirstMatchWithTimeoutsSetJustBefore) {
    ScriptedUsbLibrary library;
    library.devices = {"other", "wex_writer", "wex_writer"};
    CC8051f320Usb channel(library);
    ASSERT_TRUE(channel.Open(kCradleDeviceString));
    EXPECT_EQ(library.calls, (Calls{"count", "string 0 0", "string 1 0", "string 2 0",
                                    "timeouts 1000 1000", "open 1"}));
    EXPECT_EQ(channel.handle(), 41);
    EXPECT_EQ(channel.deviceIndex(), 1u);
    EXPECT_EQ(channel.deviceName(), "wex_writer");
    EXPECT_EQ(channel.deviceList(), (Calls{"other", "wex_writer", "wex_writer"}));
}

TEST(CradleChannel, SkipsDevicesWhoseStringQueryFailsAndOpensTheRightNumber) {
    ScriptedUsbLibrary library;
    library.devices = {std::nullopt, "wex_writer"};
    CC8051f320Usb channel(library);
    ASSERT_TRUE(channel.Open(kCradleDeviceString));
    EXPECT_EQ(channel.deviceList(), Calls{"wex_writer"});
    // Device 0 is not listed, but the cradle is still library device 1.
    EXPECT_EQ(library.calls.back(), "open 1");
    EXPECT_EQ(channel.deviceIndex(), 1u);
}

TEST(CradleChannel, StaysClosedWhenNothingMatchesExactly) {
    const char* const nearMisses[] = {
        "WEX_WRITER", "Wex_writer", "wex_writer ", " wex_writer", "wex_writer2", "wex_write", ""};
    for (const char* text : nearMisses) {
        ScriptedUsbLibrary library;
        library.devices = {std::string(text)};
        CC8051f320Usb channel(library);
        EXPECT_FALSE(channel.Open(kCradleDeviceString)) << '"' << text << '"';
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_EQ(channel.handle(), kClosedHandle);
        EXPECT_EQ(library.calls.back(), "timeouts 1000 1000") << "must not try any device";
    }
}

TEST(CradleChannel, FailsQuietlyWhenTheLibraryDoes) {
    struct Case {
        const char* name;
        UsbStatus countStatus, openStatus;
        Calls expected;
    };
    const Case cases[] = {
        {"no device count", usb_status::kDeviceNotFound, usb_status::kSuccess, {"count"}},
        {"open refused",
         usb_status::kSuccess,
         usb_status::kDeviceNotFound,
         {"count", "string 0 0", "timeouts 1000 1000", "open 0"}},
    };
    for (const Case& c : cases) {
        ScriptedUsbLibrary library;
        library.devices = {"wex_writer"};
        library.countStatus = c.countStatus;
        library.openStatus = c.openStatus;
        CC8051f320Usb channel(library);
        EXPECT_FALSE(channel.Open(kCradleDeviceString)) << c.name;
        EXPECT_EQ(channel.handle(), kClosedHandle) << c.name;
        EXPECT_EQ(library.calls, c.expected) << c.name;
    }
}

TEST(CradleChannel, SetsTimeoutsOnEveryAttemptAndClosesOnlyWhatIsOpen) {
    ScriptedUsbLibrary library;
    {
        CC8051f320Usb channel(library);
        EXPECT_FALSE(channel.Open(kCradleDeviceString)); // nothing attached
        library.devices = {"wex_writer"};
        EXPECT_TRUE(channel.Open(kCradleDeviceString));
        library.calls.clear();
    }
    EXPECT_EQ(library.calls, Calls{"close 40"}) << "destroying an open channel closes it";

    library.calls.clear();
    { CC8051f320Usb closedChannel(library); }
    EXPECT_TRUE(library.calls.empty());
}

TEST(CradleChannel, TerminatesADeviceStringTheLibraryLeftUnterminated) {
    ScriptedUsbLibrary library;
    library.devices = {"x"};
    library.unterminatedStrings = true;
    CC8051f320Usb channel(library);
    EXPECT_FALSE(channel.Open(kCradleDeviceString));
    ASSERT_EQ(channel.deviceList().size(), 1u);
    EXPECT_EQ(channel.deviceList()[0].size(), kDeviceStringSize - 1);
}

TEST(CradleChannel, FindsNothingWithoutCradlesAndTheLowerOfTwoCradles) {
    SimulatedLink link;
    link.cradle->Unplug();
    EXPECT_FALSE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.channel.deviceList().empty());

    auto second = std::make_shared<CradleSimulator>(MakeFactoryPager(FactoryPager::V1));
    link.backend->AddCradle(second);
    link.cradle->Plug();
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    std::optional<Generation> identity;
    ASSERT_TRUE(link.protocol.Identify(identity));
    EXPECT_EQ(identity, Generation::V2) << "the lower device number is the V2 cradle";
    EXPECT_EQ(second->exchangeCount(), 0u);
}
