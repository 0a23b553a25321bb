#include "ProgrammingTestSupport.h"

#include <gtest/gtest.h>

namespace {

CradleFault RotatingFault(std::uint64_t exchange) {
    return kLinkFailures[exchange % std::size(kLinkFailures)];
}

// A link failure at any exchange of a read: one USB error, the channel closed, the image as it
// was, and the next read after re-plugging succeeds.
TEST(LinkFailureSweep, AtEveryExchangeOfARead) {
    const PagerImage pager = MakeFactoryPager(FactoryPager::V2);
    for (std::uint64_t exchange = 0; exchange < 276; ++exchange) {
        ProgrammingRig rig(pager);
        rig.context.image = PatternImage(1);
        rig.cradle->InjectAt(exchange, RotatingFault(exchange));

        rig.Read();

        EXPECT_EQ(rig.host.Messages(), std::vector{UsbErrorMessage()}) << exchange;
        EXPECT_EQ(rig.host.Outline().back(), UsbErrorMessage()) << exchange;
        EXPECT_EQ(rig.host.Count("buttons:off"), 1) << exchange;
        EXPECT_EQ(rig.cradle->exchangeCount(), exchange + 1);
        EXPECT_FALSE(rig.context.channel->IsOpen());
        EXPECT_FALSE(rig.context.state.busy);
        EXPECT_EQ(rig.context.image, PatternImage(1)) << exchange;

        rig.host.calls.clear();
        ASSERT_TRUE(rig.Replug());
        rig.Read();
        EXPECT_TRUE(rig.host.Messages().empty()) << exchange;
        EXPECT_EQ(rig.context.image, AsRead(pager)) << exchange;
    }
}

// The same for a write with the serial-number block: 1 identity read, 138 blocks, 1 final
// identity read. A failed final request is followed by the write error of its own.
TEST(LinkFailureSweep, AtEveryExchangeOfAWrite) {
    constexpr std::uint64_t kFinalExchange = 139;
    std::vector<std::pair<std::uint64_t, CradleFault>> failures;
    for (std::uint64_t exchange = 0; exchange < kFinalExchange; ++exchange) {
        failures.emplace_back(exchange, RotatingFault(exchange));
    }
    for (const CradleFault fault : kLinkFailures) {
        failures.emplace_back(kFinalExchange, fault);
    }
    for (const auto& [exchange, fault] : failures) {
        ProgrammingRig rig(MakeFactoryPager(FactoryPager::V2));
        rig.context.settings = WritableSettings();
        rig.context.state.serialWriteEnabled = true;
        rig.cradle->InjectAt(exchange, fault);

        const TransferOutcome outcome = rig.Write();

        std::vector<std::string> messages{UsbErrorMessage()};
        if (exchange == kFinalExchange) {
            const int trailing = fault == CradleFault::RequestRejected ? 6 : 7;
            messages.push_back(
                StopMessage(Padded(2, "Write error !", trailing), "Pager Programmer"));
        }
        const std::string trace =
            std::to_string(exchange) + " " + std::string(CradleFaultName(fault));
        EXPECT_EQ(rig.host.Messages(), messages) << trace;
        // The progress bar keeps its position unless the final check failed.
        EXPECT_EQ(rig.host.Count("position:0"), exchange == kFinalExchange ? 1 : 0) << trace;
        EXPECT_EQ(rig.host.Count("buttons:off"), 1) << trace;
        EXPECT_EQ(rig.host.Count("increment"), 0) << trace;
        EXPECT_EQ(rig.cradle->exchangeCount(), exchange + 1) << trace;
        // The outcome tells how far the write got: every block before the failed exchange.
        EXPECT_EQ(outcome.result, exchange == kFinalExchange ? TransferResult::FinalCheckFailed
                                                             : TransferResult::LinkFailed)
            << trace;
        EXPECT_EQ(outcome.blocksWritten,
                  exchange == 0 ? 0 : std::min(exchange - 1, std::uint64_t{138}))
            << trace;
        EXPECT_FALSE(outcome.details.empty()) << trace;
        EXPECT_FALSE(rig.context.channel->IsOpen());
        EXPECT_FALSE(rig.context.state.busy);

        rig.host.calls.clear();
        ASSERT_TRUE(rig.Replug());
        rig.Write();
        EXPECT_TRUE(rig.host.Messages().empty()) << trace;
        EXPECT_EQ(rig.host.Count("increment"), 1) << trace;
        const PagerImage memory = rig.cradle->Memory();
        EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 320, rig.context.image.begin()));
    }
}

} // namespace
