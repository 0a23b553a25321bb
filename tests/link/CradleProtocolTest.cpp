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
    EXPECT_EQ(link.protocol.failures(), 0u);
}

TEST_F(OpenLink, ReportsAnEchoDifferingInOneByteAsUnverifiedNotAsALinkError) {
    link.cradle->InjectAt(link.cradle->exchangeCount(), CradleFault::CorruptReplyByte);
    const auto block = CountingBlock(1);
    bool verified = true;
    EXPECT_TRUE(link.protocol.WriteBlock(1024, block.data(), verified));
    EXPECT_FALSE(verified);
    EXPECT_TRUE(link.channel.IsOpen());
    EXPECT_EQ(link.protocol.failures(), 0u);

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
        std::optional<Generation> identity;
        ASSERT_TRUE(link.protocol.Identify(identity));
        EXPECT_EQ(identity, Generation::V2);
        bool verified = false;
        ASSERT_TRUE(link.protocol.WriteBlock(2048, block.data(), verified));
        EXPECT_TRUE(verified);
    }
}

TEST(Identity, MatchesOnlyTheExactFourBytes) {
    struct Row {
        const char* bytes;
        std::optional<Generation> identity;
    };
    const Row rows[] = {
        {"W50C", Generation::V2},
        {"2011", Generation::V1},
        {"w50C", std::nullopt},
        {"W50c", std::nullopt},
        {"w50c", std::nullopt},
        {"W5OC", std::nullopt},
        {"2010", std::nullopt},
        {"2012", std::nullopt},
        {"201 ", std::nullopt},
        {"C05W", std::nullopt},
        {"\xFF\xFF\xFF\xFF", std::nullopt},
    };
    for (const Row& row : rows) {
        PagerImage memory = MakeFactoryPager(FactoryPager::V2);
        std::copy_n(row.bytes, 4, memory.begin());
        SimulatedLink link(memory);
        ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
        std::optional<Generation> identity;
        ASSERT_TRUE(link.protocol.Identify(identity)) << row.bytes;
        EXPECT_EQ(identity, row.identity) << row.bytes;
    }
}

// Every way a send or receive can fail ends the same way: the channel closed and the failed
// exchange kept for the caller.
class LinkFailureTest : public ::testing::TestWithParam<std::tuple<CradleFault, bool>> {};

TEST_P(LinkFailureTest, ClosesAndKeepsTheFailure) {
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
    // The failure is kept as data for the caller to word: the exchange and its block.
    EXPECT_EQ(link.protocol.failures(), 1u);
    const LinkFailure& failure = link.protocol.failure();
    EXPECT_EQ(failure.exchange,
              writing ? LinkFailure::Exchange::Write : LinkFailure::Exchange::Read);
    EXPECT_EQ(failure.address, 1088u);
    const std::string details = link.protocol.failureDetails();
    EXPECT_NE(details.find(writing ? "write block 0x0440 (1088)" : "read block 0x0440 (1088)"),
              std::string::npos)
        << details;

    // Putting the cradle back in lets the next open and transfer succeed.
    link.cradle->Plug();
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.protocol.ReadBlock(1088));
}

INSTANTIATE_TEST_SUITE_P(EveryLinkFault, LinkFailureTest,
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
