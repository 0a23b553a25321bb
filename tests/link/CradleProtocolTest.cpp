#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace {

std::array<std::uint8_t, kBlockSize> CountingBlock(std::uint8_t first) {
    std::array<std::uint8_t, kBlockSize> block{};
    std::iota(block.begin(), block.end(), first);
    return block;
}

using Header4 = std::array<std::uint8_t, kFrameHeaderSize>;

struct OpenLink : ::testing::Test {
    SimulatedLink link;
    void SetUp() override { ASSERT_TRUE(link.channel.Open(kCradleDeviceString)); }

    Header4 Header() const {
        Header4 header{};
        std::copy_n(link.transfer.request.begin(), kFrameHeaderSize, header.begin());
        return header;
    }

    std::array<std::uint8_t, kBlockSize> ReplyData() const {
        std::array<std::uint8_t, kBlockSize> data{};
        std::copy(link.transfer.reply.begin() + kFrameHeaderSize, link.transfer.reply.end(),
                  data.begin());
        return data;
    }
    std::array<std::uint8_t, kBlockSize> MemoryAt(std::uint32_t address) const {
        const PagerImage memory = link.cradle->Memory();
        std::array<std::uint8_t, kBlockSize> data{};
        std::copy_n(memory.begin() + address, kBlockSize, data.begin());
        return data;
    }
};

} // namespace

TEST_F(OpenLink, ReadsAndWritesBlocksWithBigEndianHeaders) {
    ASSERT_TRUE(link.protocol.ReadBlock(1056));
    EXPECT_EQ(Header(), (Header4{'R', 0x04, 0x20, 0x01}));
    EXPECT_EQ(link.transfer.transferred, kFrameSize);
    EXPECT_EQ(ReplyData(), MemoryAt(1056));

    const auto block = CountingBlock(0x40);
    bool verified = false;
    ASSERT_TRUE(link.protocol.WriteBlock(288, block.data(), verified));
    EXPECT_TRUE(verified);
    EXPECT_EQ(Header(), (Header4{'W', 0x01, 0x20, 0x01}));
    EXPECT_EQ(MemoryAt(288), block);

    // A read sends whatever data the request buffer last held.
    ASSERT_TRUE(link.protocol.ReadBlock(0));
    EXPECT_TRUE(
        std::equal(block.begin(), block.end(), link.transfer.request.begin() + kFrameHeaderSize));
    EXPECT_TRUE(link.host.calls.empty());
}

TEST_F(OpenLink, ReportsAnEchoDifferingInOneByteAsUnverifiedNotAsALinkError) {
    link.cradle->InjectAt(link.cradle->exchangeCount(), CradleFault::CorruptReplyByte);
    const auto block = CountingBlock(1);
    bool verified = true;
    EXPECT_TRUE(link.protocol.WriteBlock(1024, block.data(), verified));
    EXPECT_FALSE(verified);
    EXPECT_TRUE(link.channel.IsOpen());
    EXPECT_TRUE(link.host.calls.empty());

    ASSERT_TRUE(link.protocol.WriteBlock(1024, block.data(), verified));
    EXPECT_TRUE(verified) << "the next write is unaffected";
}

TEST_F(OpenLink, IgnoresReplyHeaderBytes) {
    const auto block = CountingBlock(9);
    for (const std::array<std::uint8_t, 4> header :
         {std::array<std::uint8_t, 4>{'W', '5', '0', 'C'},
          {0xFF, 0xFF, 0xFF, 0xFF},
          {0, 0, 0, 0}}) {
        CradleFaultPlan plan;
        plan.replyHeader = header;
        link.cradle->SetFaults(plan);
        PagerIdentity identity{};
        ASSERT_TRUE(link.protocol.Identify(identity));
        EXPECT_EQ(identity, PagerIdentity::V2);
        bool verified = false;
        ASSERT_TRUE(link.protocol.WriteBlock(2048, block.data(), verified));
        EXPECT_TRUE(verified);
    }
}

TEST(PagerIdentity, MatchesOnlyTheExactFourBytes) {
    struct Row {
        const char* bytes;
        PagerIdentity identity;
    };
    const Row rows[] = {
        {"W50C", PagerIdentity::V2},
        {"2011", PagerIdentity::V1},
        {"w50C", PagerIdentity::Invalid},
        {"W50c", PagerIdentity::Invalid},
        {"w50c", PagerIdentity::Invalid},
        {"W5OC", PagerIdentity::Invalid},
        {"2010", PagerIdentity::Invalid},
        {"2012", PagerIdentity::Invalid},
        {"201 ", PagerIdentity::Invalid},
        {"C05W", PagerIdentity::Invalid},
        {"\xFF\xFF\xFF\xFF", PagerIdentity::Invalid},
    };
    for (const Row& row : rows) {
        PagerImage memory = MakeFactoryPager(FactoryPager::V2);
        std::copy_n(row.bytes, 4, memory.begin());
        SimulatedLink link(memory);
        ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
        PagerIdentity identity{};
        ASSERT_TRUE(link.protocol.Identify(identity)) << row.bytes;
        EXPECT_EQ(identity, row.identity) << row.bytes;
    }
}

// Every way a send or receive can fail ends the same way: buttons off, channel closed, then
// the USB error once, with the channel already closed when the user sees it.
class LinkFailure : public ::testing::TestWithParam<std::tuple<CradleFault, bool>> {};

TEST_P(LinkFailure, DisablesClosesAndReportsOnce) {
    const auto [fault, writing] = GetParam();
    SimulatedLink link;
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    link.cradle->InjectAt(0, fault);

    bool ok = false;
    if (writing) {
        const auto block = CountingBlock(3);
        bool verified = true;
        ok = link.protocol.WriteBlock(1088, block.data(), verified);
        EXPECT_FALSE(verified);
    } else {
        ok = link.protocol.ReadBlock(1088);
    }
    EXPECT_FALSE(ok);
    EXPECT_FALSE(link.channel.IsOpen());
    const MessageRequest usbError{"USB error,Please reinsert the USB device ! ",
                                  "V2 Pager Programmer", MessageIcon::Stop, MessageButtons::Ok};
    ASSERT_EQ(link.host.calls.size(), 2u);
    EXPECT_EQ(link.host.calls[0].what, "buttons off");
    EXPECT_TRUE(link.host.calls[0].channelOpen);
    EXPECT_EQ(link.host.calls[1].what, "message");
    // The details name the exchange; the box itself is the fixed one.
    MessageRequest shown = link.host.calls[1].message;
    EXPECT_NE(
        shown.details.find(writing ? "write block 0x0440 (1088)" : "read block 0x0440 (1088)"),
        std::string::npos)
        << shown.details;
    shown.details.clear();
    EXPECT_EQ(shown, usbError);
    EXPECT_FALSE(link.host.calls[1].channelOpen);

    // Putting the cradle back in lets the next open and transfer succeed.
    link.cradle->Plug();
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.protocol.ReadBlock(1088));
}

INSTANTIATE_TEST_SUITE_P(EveryLinkFault, LinkFailure,
                         ::testing::Combine(::testing::ValuesIn(kLinkFailures), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name(CradleFaultName(std::get<0>(info.param)));
                             std::erase(name, '-');
                             return name + (std::get<1>(info.param) ? "Write" : "Read");
                         });

TEST(LinkFailure, ShortReplyIsCountedAsFailureEvenWithStatusZero) {
    SimulatedLink link;
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    link.cradle->InjectAt(1, CradleFault::ShortReply);
    ASSERT_TRUE(link.protocol.ReadBlock(0));
    EXPECT_FALSE(link.protocol.ReadBlock(32));
    EXPECT_EQ(link.transfer.transferred, CradleSimulator::kShortReplyLength);
    EXPECT_EQ(link.channel.lastStatus(), usb_status::kSuccess);
    EXPECT_FALSE(link.channel.IsOpen());
}

TEST(LinkFailure, TimesOutWithinTheReadTimeoutWithoutRealSleeping) {
    SimulatedLink link;
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    link.cradle->InjectAt(0, CradleFault::NoReply);
    const auto before = link.clock->Now();
    EXPECT_FALSE(link.protocol.ReadBlock(0));
    EXPECT_EQ(link.clock->Now() - before, std::chrono::milliseconds(1000));
    EXPECT_EQ(link.channel.lastStatus(), usb_status::kReadTimedOut);
}
