#include "LinkTestSupport.h"

#include "image/ImageFiles.h"
#include "link/sim/PagerMemoryFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::chrono_literals;

namespace {

Frame Request(std::uint8_t command, std::uint32_t address, std::uint8_t blocks = 1) {
    Frame frame{};
    frame[0] = command;
    frame[1] = static_cast<std::uint8_t>(address >> 8);
    frame[2] = static_cast<std::uint8_t>(address);
    frame[3] = blocks;
    for (std::size_t i = kFrameHeaderSize; i < kFrameSize; ++i)
        frame[i] = static_cast<std::uint8_t>(0xA0 + i);
    return frame;
}

// One block from the cradle: what a read returns, or what a write echoes.
std::array<std::uint8_t, kBlockSize> Exchange(CradleSimulator& cradle, std::uint8_t command,
                                              std::uint32_t address, std::uint8_t fill = 0) {
    Frame request = Request(command, address);
    std::fill(request.begin() + kFrameHeaderSize, request.end(), fill);
    const CradleExchange exchange = cradle.HandleRequest(request.data(), kFrameSize);
    std::array<std::uint8_t, kBlockSize> data{};
    std::copy_n(exchange.reply->bytes.begin() + kFrameHeaderSize, kBlockSize, data.begin());
    return data;
}

std::vector<CradleFault> FaultsOf(CradleSimulator& cradle, int exchanges) {
    std::vector<CradleFault> faults;
    faults.reserve(static_cast<std::size_t>(exchanges));
    const Frame request = Request('R', 0);
    for (int i = 0; i < exchanges; ++i)
        faults.push_back(cradle.HandleRequest(request.data(), kFrameSize).fault);
    return faults;
}

} // namespace

TEST(CradleSimulator, RefusesFramesItCannotServeAndLeavesMemoryAlone) {
    struct Row {
        const char* name;
        Frame request;
    };
    const Row rows[] = {
        {"past the end", Request('W', 8192 - 16)},
        {"unknown command", Request('X', 64)},
        {"two blocks", Request('W', 64, 2)},
    };
    for (const Row& row : rows) {
        CradleSimulator cradle;
        const PagerImage before = cradle.Memory();
        const CradleExchange exchange = cradle.HandleRequest(row.request.data(), kFrameSize);
        ASSERT_TRUE(exchange.reply) << row.name;
        EXPECT_EQ(exchange.reply->bytes[3], 0) << row.name;
        EXPECT_FALSE(exchange.memoryChanged) << row.name;
        EXPECT_EQ(cradle.Memory(), before) << row.name;
    }

    CradleSimulator cradle;
    const Frame partial = Request('R', 0);
    const CradleExchange exchange = cradle.HandleRequest(partial.data(), 20);
    EXPECT_EQ(exchange.accepted, 20u);
    EXPECT_FALSE(exchange.reply) << "half a frame is never answered";
}

TEST(CradleSimulator, FlakyByteReadsInvertedOnEverySecondRead) {
    CradleSimulator cradle;
    CradleFaultPlan plan;
    plan.flakyAddress = 300;
    cradle.SetFaults(plan);
    const std::uint8_t stored = cradle.Memory()[300];
    const Frame request = Request('R', 288);
    for (int read = 1; read <= 4; ++read) {
        const CradleExchange exchange = cradle.HandleRequest(request.data(), kFrameSize);
        const std::uint8_t expected = read % 2 == 0 ? static_cast<std::uint8_t>(~stored) : stored;
        EXPECT_EQ(exchange.reply->bytes[kFrameHeaderSize + 12], expected) << "read " << read;
        EXPECT_EQ(exchange.reply->bytes[kFrameHeaderSize + 11], cradle.Memory()[299]);
    }
    EXPECT_EQ(cradle.Memory()[300], stored);
}

TEST(CradleSimulator, RandomFaultsRepeatForTheSameSeed) {
    auto faultsFor = [](std::uint64_t seed, std::vector<CradleFault> kinds) {
        CradleSimulator cradle;
        CradleFaultPlan plan;
        plan.random = RandomCradleFaults{seed, 100'000, std::move(kinds)};
        cradle.SetFaults(plan);
        return FaultsOf(cradle, 500);
    };
    EXPECT_EQ(faultsFor(7, {}), faultsFor(7, {}));
    EXPECT_NE(faultsFor(7, {}), faultsFor(8, {}));

    // Without Unplug among the kinds the cradle stays, so about one exchange in ten fails.
    const auto faults = faultsFor(7, {CradleFault::ReplyError, CradleFault::NoReply});
    const auto faulted = std::count_if(faults.begin(), faults.end(),
                                       [](CradleFault f) { return f != CradleFault::None; });
    EXPECT_GT(faulted, 20);
    EXPECT_LT(faulted, 90);

    for (CradleFault f : faultsFor(3, {CradleFault::ShortReply, CradleFault::CorruptReplyByte}))
        EXPECT_TRUE(f == CradleFault::None || f == CradleFault::ShortReply ||
                    f == CradleFault::CorruptReplyByte);
}

TEST(CradleSimulator, ChosenExchangesOverrideTheRandomDraw) {
    CradleSimulator cradle;
    CradleFaultPlan plan;
    plan.random = RandomCradleFaults{1, 1'000'000, {CradleFault::NoReply}};
    plan.atExchange[2] = CradleFault::None;
    plan.atExchange[3] = CradleFault::ReplyError;
    cradle.SetFaults(plan);
    EXPECT_EQ(
        FaultsOf(cradle, 5),
        (std::vector<CradleFault>{CradleFault::NoReply, CradleFault::NoReply, CradleFault::None,
                                  CradleFault::ReplyError, CradleFault::NoReply}));
}

TEST(InProcessCradle, VanishesAfterTheGivenExchangesUntilPluggedAgain) {
    SimulatedLink link;
    CradleFaultPlan plan;
    plan.unplugAfter = 3;
    link.cradle->SetFaults(plan);
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    for (std::uint32_t block = 0; block < 3; ++block)
        ASSERT_TRUE(link.protocol.ReadBlock(32 * block));
    EXPECT_FALSE(link.protocol.ReadBlock(96));
    EXPECT_EQ(link.channel.lastStatus(), usb_status::kWriteError);
    EXPECT_FALSE(link.cradle->IsPresent());
    EXPECT_FALSE(link.channel.Open(kCradleDeviceString)) << "gone from the device list";
    EXPECT_EQ(link.cradle->exchangeCount(), 3u);

    link.cradle->Plug();
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    for (std::uint32_t block = 0; block < 5; ++block)
        EXPECT_TRUE(link.protocol.ReadBlock(32 * block)) << "unplugAfter fired once";
}

TEST(InProcessCradle, HandleFromBeforeAnUnplugStaysDead) {
    SimulatedLink link;
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    const UsbHandle stale = link.channel.handle();
    link.cradle->Unplug();
    link.cradle->Plug();

    std::uint8_t frame[kFrameSize] = {};
    std::uint32_t moved = 0;
    EXPECT_EQ(link.library->Write(stale, frame, kFrameSize, moved), usb_status::kWriteError);
    EXPECT_EQ(link.library->Read(stale, frame, kFrameSize, moved), usb_status::kReadError);
    link.channel.Close();
    EXPECT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.protocol.ReadBlock(0));
}

TEST(InProcessCradle, WaitsForDelayedRepliesOnTheVirtualClock) {
    struct Row {
        std::chrono::microseconds delay;
        bool answered;
        std::chrono::microseconds waited;
    };
    const Row rows[] = {
        {0us, true, 0us},
        {5ms, true, 5ms},
        {1000ms, true, 1000ms},
        {1001ms, false, 1000ms},
    };
    for (const Row& row : rows) {
        SimulatedLink link;
        CradleFaultPlan plan;
        plan.replyDelay = row.delay;
        link.cradle->SetFaults(plan);
        ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
        const auto before = link.clock->Now();
        EXPECT_EQ(link.protocol.ReadBlock(0), row.answered) << row.delay.count();
        EXPECT_EQ(link.clock->Now() - before, row.waited) << row.delay.count();
    }
}

TEST(InProcessCradle, DeliversAReplyAcrossSeveralSmallReads) {
    SimulatedLink link;
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    const Frame request = Request('R', 1024);
    std::uint32_t moved = 0;
    ASSERT_EQ(link.channel.Write(request.data(), kFrameSize, moved), usb_status::kSuccess);
    Frame reply{};
    ASSERT_EQ(link.channel.Read(reply.data(), 10, moved), usb_status::kSuccess);
    EXPECT_EQ(moved, 10u);
    ASSERT_EQ(link.channel.Read(reply.data() + 10, 64, moved), usb_status::kSuccess);
    EXPECT_EQ(moved, 26u);
    EXPECT_TRUE(std::equal(reply.begin() + kFrameHeaderSize, reply.end(),
                           link.cradle->Memory().begin() + 1024));
    EXPECT_EQ(link.channel.Read(reply.data(), kFrameSize, moved), usb_status::kReadTimedOut);
}

TEST(FactoryPager, LeavesRecognisableBytesWhereTheToolNeverReads) {
    for (FactoryPager kind : {FactoryPager::V1, FactoryPager::V2}) {
        const PagerImage memory = MakeFactoryPager(kind);
        EXPECT_TRUE(std::all_of(memory.begin() + 320, memory.begin() + 1024,
                                [](std::uint8_t b) { return b != 0; }));
        EXPECT_TRUE(std::all_of(memory.begin() + 5120, memory.end(),
                                [](std::uint8_t b) { return b != 0; }));
        EXPECT_NE(memory[1024], 0) << "canned message 1 has a text";
    }
    EXPECT_NE(MakeFactoryPager(FactoryPager::V1), MakeFactoryPager(FactoryPager::V2));
}

TEST(CradleSimulatorStream, SeatsPagersOneByOneAndTakesEachOutOnceTheHostIsDone) {
    char folderName[] = "/tmp/pager-stream-XXXXXX";
    ASSERT_NE(mkdtemp(folderName), nullptr);
    const std::filesystem::path folder = folderName;
    const PagerMemoryFiles files(folder);
    std::vector<std::pair<PagerEventKind, std::uint32_t>> events;
    auto clock = std::make_shared<VirtualLinkClock>();
    CradleSimulator cradle;
    auto after = [&](std::chrono::milliseconds time) {
        clock->SleepFor(time);
        for (const PagerEvent& event : cradle.TakePagerEvents()) {
            events.emplace_back(event.kind, event.pager);
            EXPECT_FALSE(files.Record(event).has_value());
        }
    };
    auto identity = [&] {
        const auto block = Exchange(cradle, 'R', 0);
        return std::string(block.begin(), block.begin() + 4);
    };
    const PagerImage factory = MakeFactoryPager(FactoryPager::V1);
    const std::string none(4, '\xFF');

    cradle.StartStream({2, FactoryPager::V1, 100ms, 500ms}, clock);
    after(0ms);
    EXPECT_EQ(identity(), "2011");
    Exchange(cradle, 'W', 1024, 0x11);
    Exchange(cradle, 'W', 1056, 0x11);
    after(2s);
    EXPECT_EQ(identity(), "2011") << "not programmed yet: it stays however long the host waits";

    // Programmed: a read-back with pauses under the settle time keeps it, and so does a
    // pulled cable, whose time does not count.
    Exchange(cradle, 'W', 5088, 0x22);
    after(90ms);
    Exchange(cradle, 'R', 32);
    cradle.Unplug();
    after(10s);
    cradle.Plug();
    after(90ms);
    Exchange(cradle, 'R', 5088);
    for (int poll = 0; poll < 3; ++poll) {
        after(30ms);
        EXPECT_EQ(identity(), "2011") << "identity polls do not count as work";
    }
    after(10ms);
    EXPECT_EQ(identity(), none);
    EXPECT_EQ(cradle.seatedPager(), 0u);
    EXPECT_EQ(Exchange(cradle, 'W', 1024, 0x33)[0], 0x33) << "the empty cradle echoes";
    EXPECT_EQ(Exchange(cradle, 'R', 1024)[0], 0xFF) << "and keeps nothing";

    after(499ms);
    EXPECT_EQ(identity(), none);
    after(1ms);
    EXPECT_EQ(identity(), "2011");
    EXPECT_EQ(cradle.Memory(), factory) << "a fresh pager";
    Exchange(cradle, 'W', 5088, 0x44);
    after(100ms);
    after(10s);
    EXPECT_EQ(identity(), none) << "the last pager has passed";

    using K = PagerEventKind;
    // The writes made between two collections come as one event.
    EXPECT_EQ(events, (std::vector<std::pair<K, std::uint32_t>>{{K::Seated, 1},
                                                                {K::Written, 1},
                                                                {K::Written, 1},
                                                                {K::Removed, 1},
                                                                {K::Seated, 2},
                                                                {K::Written, 2},
                                                                {K::Removed, 2}}));
    PagerImage expected = factory;
    std::fill_n(expected.begin() + 1024, 2 * kBlockSize, 0x11);
    std::fill_n(expected.begin() + 5088, kBlockSize, 0x22);
    for (const std::uint32_t pager : {1u, 2u}) {
        PagerImage saved{};
        EXPECT_FALSE(ReadImageFile(files.PathFor(pager), saved).has_value());
        EXPECT_EQ(saved, expected) << "pager " << pager;
        expected = factory;
        std::fill_n(expected.begin() + 5088, kBlockSize, 0x44);
    }
    EXPECT_EQ(files.PathFor(2).filename(), "pager-0002.sav");
    EXPECT_FALSE(std::filesystem::exists(files.PathFor(3)));
    std::filesystem::remove_all(folder);
}
