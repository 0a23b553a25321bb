#include "link/CradleProtocol.h"
#include "link/sim/InProcessCradleBackend.h"

#include <gtest/gtest.h>

TEST(Smoke, ReadsAndWritesThroughSimulator) {
    auto cradle = std::make_shared<CradleSimulator>(MakeFactoryPager(FactoryPager::V1));
    auto backend = std::make_shared<InProcessCradleBackend>();
    backend->AddCradle(cradle);
    auto layer = MakeLayerOver(backend);
    CC8051f320Usb channel(*layer);
    ASSERT_TRUE(channel.Open(kCradleDeviceString));
    struct Host : LinkHost {
        void EnableTransferButtons(bool) override {}
        MessageAnswer ShowMessage(const MessageRequest&) override { return MessageAnswer::Ok; }
    } host;
    TransferState transfer;
    CradleProtocol protocol(channel, transfer, host);
    PagerIdentity identity{};
    ASSERT_TRUE(protocol.Identify(identity));
    EXPECT_EQ(identity, PagerIdentity::V1);
    std::uint8_t data[32];
    for (int i = 0; i < 32; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    bool verified = false;
    ASSERT_TRUE(protocol.WriteBlock(1056, data, verified));
    EXPECT_TRUE(verified);
    EXPECT_EQ(cradle->Memory()[1056 + 31], 31);
}
