#include "link/UsbDeviceLayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A backend whose devices are plain strings; it records what the layer asks of it.
class FakeBackend : public UsbBackend {
public:
    explicit FakeBackend(std::vector<UsbDeviceInfo> devices) : devices_(std::move(devices)) {}

    std::vector<UsbDeviceInfo> ListDevices() override { return devices_; }
    UsbStatus Open(std::uint32_t index, Handle& handle) override {
        if (index >= devices_.size())
            return usb_status::kDeviceNotFound;
        handle = 100 + index;
        return usb_status::kSuccess;
    }
    void Close(Handle handle) override { closed.push_back(handle); }
    UsbStatus Read(Handle handle, void*, std::uint32_t wanted, std::uint32_t& read,
                   std::uint32_t timeoutMs) override {
        lastHandle = handle;
        lastTimeoutMs = timeoutMs;
        read = wanted + claimExtra; // a misbehaving backend may claim more than asked
        return usb_status::kSuccess;
    }
    UsbStatus Write(Handle handle, const void*, std::uint32_t length, std::uint32_t& written,
                    std::uint32_t timeoutMs) override {
        lastHandle = handle;
        lastTimeoutMs = timeoutMs;
        written = length + claimExtra;
        return usb_status::kSuccess;
    }

    std::vector<Handle> closed;
    Handle lastHandle = -1;
    std::uint32_t lastTimeoutMs = 0;
    std::uint32_t claimExtra = 0;

private:
    std::vector<UsbDeviceInfo> devices_;
};

struct LayerOverTwoBackends : ::testing::Test {
    std::shared_ptr<FakeBackend> first =
        std::make_shared<FakeBackend>(std::vector<UsbDeviceInfo>{{"a0", "A0"}, {"a1", "A1"}});
    std::shared_ptr<FakeBackend> second = std::make_shared<FakeBackend>(
        std::vector<UsbDeviceInfo>{{std::nullopt, "B0"}, {"b1", std::nullopt}});
    UsbDeviceLayer layer{{first, second}};

    std::string StringOf(std::uint32_t device, std::uint32_t selector, UsbStatus& status) {
        char buffer[kDeviceStringSize] = {};
        status = layer.GetProductString(device, buffer, selector);
        return buffer;
    }
};

} // namespace

TEST_F(LayerOverTwoBackends, NumbersDevicesThroughTheBackendsInOrder) {
    std::uint32_t count = 0;
    ASSERT_EQ(layer.GetNumDevices(count), usb_status::kSuccess);
    EXPECT_EQ(count, 4u);

    struct Row {
        std::uint32_t device, selector;
        UsbStatus status;
        std::string text;
    };
    const Row rows[] = {
        {0, kSelectorSerialNumber, usb_status::kSuccess, "a0"},
        {1, kSelectorDescription, usb_status::kSuccess, "A1"},
        {2, kSelectorSerialNumber, usb_status::kSystemError, ""}, // query fails
        {2, kSelectorDescription, usb_status::kSuccess, "B0"},
        {3, kSelectorSerialNumber, usb_status::kSuccess, "b1"},
        {3, 2, usb_status::kInvalidParameter, ""},
        {4, kSelectorSerialNumber, usb_status::kDeviceNotFound, ""},
    };
    for (const Row& row : rows) {
        UsbStatus status = 0;
        EXPECT_EQ(StringOf(row.device, row.selector, status), row.text) << row.device;
        EXPECT_EQ(status, row.status) << row.device << " selector " << row.selector;
    }
}

TEST_F(LayerOverTwoBackends, RoutesEachHandleToItsBackendWithTheLayersTimeouts) {
    std::uint32_t count = 0;
    layer.GetNumDevices(count);
    UsbHandle inFirst = kClosedHandle, inSecond = kClosedHandle;
    ASSERT_EQ(layer.Open(1, inFirst), usb_status::kSuccess);
    ASSERT_EQ(layer.Open(3, inSecond), usb_status::kSuccess);
    EXPECT_NE(inFirst, inSecond);
    EXPECT_NE(inSecond, kClosedHandle);

    std::uint8_t frame[36] = {};
    std::uint32_t moved = 0;
    layer.SetTimeouts(250, 750);
    EXPECT_EQ(layer.Read(inSecond, frame, 36, moved), usb_status::kSuccess);
    EXPECT_EQ(second->lastHandle, 101); // backend-local index 1
    EXPECT_EQ(second->lastTimeoutMs, 250u);
    EXPECT_EQ(layer.Write(inFirst, frame, 36, moved), usb_status::kSuccess);
    EXPECT_EQ(first->lastHandle, 101);
    EXPECT_EQ(first->lastTimeoutMs, 750u);

    EXPECT_EQ(layer.Close(inSecond), usb_status::kSuccess);
    EXPECT_EQ(second->closed, std::vector<UsbBackend::Handle>{101});
    EXPECT_EQ(layer.Close(inSecond), usb_status::kInvalidHandle);
    EXPECT_EQ(layer.Read(inSecond, frame, 36, moved), usb_status::kInvalidHandle);
    EXPECT_EQ(moved, 0u);
}

TEST_F(LayerOverTwoBackends, RefusesWhatNoDeviceOrHandleMatches) {
    UsbHandle handle = kClosedHandle;
    EXPECT_EQ(layer.Open(0, handle), usb_status::kDeviceNotFound) << "nothing enumerated yet";
    std::uint32_t count = 0;
    layer.GetNumDevices(count);
    EXPECT_EQ(layer.Open(count, handle), usb_status::kDeviceNotFound);
    EXPECT_EQ(handle, kClosedHandle);

    std::uint8_t frame[36] = {};
    std::uint32_t moved = 7;
    for (UsbHandle bad : {kClosedHandle, UsbHandle{0}, UsbHandle{12345}}) {
        EXPECT_EQ(layer.Write(bad, frame, 36, moved), usb_status::kInvalidHandle);
        EXPECT_EQ(moved, 0u);
        EXPECT_EQ(layer.Close(bad), usb_status::kInvalidHandle);
    }
    ASSERT_EQ(layer.Open(0, handle), usb_status::kSuccess);
    EXPECT_EQ(layer.Read(handle, nullptr, 36, moved), usb_status::kInvalidParameter);
}

TEST_F(LayerOverTwoBackends, NeverReportsMoreBytesThanAsked) {
    std::uint32_t count = 0;
    layer.GetNumDevices(count);
    UsbHandle handle = kClosedHandle;
    ASSERT_EQ(layer.Open(0, handle), usb_status::kSuccess);
    first->claimExtra = 5;
    std::uint8_t frame[36] = {};
    std::uint32_t moved = 0;
    layer.Read(handle, frame, 36, moved);
    EXPECT_EQ(moved, 36u);
    layer.Write(handle, frame, 36, moved);
    EXPECT_EQ(moved, 36u);
}

TEST(UsbDeviceLayer, TruncatesLongStringsToTheBufferWithATerminator) {
    const std::string longText(400, 'x');
    UsbDeviceLayer layer{
        {std::make_shared<FakeBackend>(std::vector<UsbDeviceInfo>{{longText, std::nullopt}})}};
    std::uint32_t count = 0;
    layer.GetNumDevices(count);
    char buffer[kDeviceStringSize + 1];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(layer.GetProductString(0, buffer, kSelectorSerialNumber), usb_status::kSuccess);
    EXPECT_EQ(std::strlen(buffer), kDeviceStringSize - 1);
    EXPECT_EQ(buffer[kDeviceStringSize], '#') << "wrote past the 256-byte buffer";
}
