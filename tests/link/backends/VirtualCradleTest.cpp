#include "SimulatorProcess.h"

#include "image/ImageFiles.h"
#include "link/backends/VirtualCradleBackend.h"
#include "link/backends/VirtualCradleConnection.h"
#include "link/backends/VirtualCradleServer.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls
#include <sys/wait.h>

#include <algorithm>
#include <future>
#include <numeric>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::array<std::uint8_t, kBlockSize> Pattern(std::uint8_t seed) {
    std::array<std::uint8_t, kBlockSize> block{};
    std::iota(block.begin(), block.end(), seed);
    return block;
}

// The program's whole link (layer, channel, protocol) over the virtual cradles of one
// runtime directory.
struct VirtualLink {
    explicit VirtualLink(const std::filesystem::path& runtime)
        : backend(std::make_shared<VirtualCradleBackend>(runtime / "pager-cradles")) {}

    std::shared_ptr<VirtualCradleBackend> backend;
    UsbDeviceLayer library{{backend}};
    CC8051f320Usb channel{library};
    TransferState transfer;
    CradleProtocol protocol{channel, transfer};

    // Failed exchanges, each of which the window would show as a USB error.
    std::size_t Messages() const { return protocol.failures(); }
};

class VirtualCradleTest : public ::testing::Test {
protected:
    TemporaryDirectory runtime;
    VirtualLink link{runtime.path()};
    std::filesystem::path folder = runtime.path() / "pager-cradles";
};

TEST_F(VirtualCradleTest, ReadsAndWritesBlocksAndKeepsTheMemoryFile) {
    const std::filesystem::path memoryFile = runtime.path() / "pager.sav";
    SimulatorProcess sim(runtime.path(), {"--pager", "v1", "--memory", memoryFile.string()});

    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    std::optional<Generation> identity;
    ASSERT_TRUE(link.protocol.Identify(identity));
    EXPECT_EQ(identity, Generation::V1);

    const auto block = Pattern(7);
    bool verified = false;
    ASSERT_TRUE(link.protocol.WriteBlock(1056, block.data(), verified));
    EXPECT_TRUE(verified);
    ASSERT_TRUE(link.protocol.ReadBlock(1056));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), link.transfer.reply.begin() + 4));
    EXPECT_EQ(link.Messages(), 0u);

    PagerImage saved{};
    ASSERT_FALSE(ReadImageFile(memoryFile, saved).has_value());
    EXPECT_EQ(std::filesystem::file_size(memoryFile), kImageSize);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), saved.begin() + 1056));
    EXPECT_TRUE(std::equal(kIdentityV1.begin(), kIdentityV1.end(), saved.begin()));
}

TEST_F(VirtualCradleTest, FaultsReachTheProgramAsFromAUsbCradle) {
    struct Case {
        std::vector<std::string> arguments;
        bool write;
        bool linkHolds;
        bool verified;
    };
    const Case cases[] = {
        {{"--short-reply-at", "0"}, false, false, false},
        {{"--bad-status-at", "0"}, false, false, false},
        {{"--no-reply-at", "0"}, false, false, false},
        {{"--fault", "0=request-rejected"}, true, false, false},
        {{"--corrupt-echo-at", "0"}, true, true, false},
        {{"--delay-ms", "50"}, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        TemporaryDirectory caseRuntime;
        VirtualLink caseLink(caseRuntime.path());
        SimulatorProcess sim(caseRuntime.path(), c.arguments);
        ASSERT_TRUE(caseLink.channel.Open(kCradleDeviceString));

        bool verified = false;
        const auto block = Pattern(1);
        const bool held = c.write ? caseLink.protocol.WriteBlock(1024, block.data(), verified)
                                  : caseLink.protocol.ReadBlock(0);
        EXPECT_EQ(held, c.linkHolds);
        EXPECT_EQ(caseLink.channel.IsOpen(), c.linkHolds);
        EXPECT_EQ(caseLink.Messages(), c.linkHolds ? 0u : 1u);
        if (c.write && c.linkHolds) {
            EXPECT_EQ(verified, c.verified);
        }
    }
}

TEST_F(VirtualCradleTest, KilledSimulatorIsAnUnplugAndARestartedOneIsFound) {
    auto sim = std::make_unique<SimulatorProcess>(runtime.path(),
                                                  std::vector<std::string>{"--delay-ms", "400"});
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));

    auto reading = std::async(std::launch::async, [&] { return link.protocol.ReadBlock(0); });
    std::this_thread::sleep_for(100ms);
    sim->Signal(SIGKILL);
    // The failure comes from the dropped connection, well before the 1000 ms timeout.
    ASSERT_EQ(reading.wait_for(900ms), std::future_status::ready);
    EXPECT_FALSE(reading.get());
    EXPECT_FALSE(link.channel.IsOpen());
    EXPECT_EQ(link.Messages(), 1u);

    // Its files are still there, but nobody serves them.
    EXPECT_FALSE(std::filesystem::is_empty(folder));
    ASSERT_TRUE(link.channel.EnumerateDevices());
    EXPECT_TRUE(link.channel.deviceList().empty());
    EXPECT_FALSE(link.channel.Open(kCradleDeviceString));

    sim = std::make_unique<SimulatorProcess>(runtime.path(), std::vector<std::string>{});
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.protocol.ReadBlock(0));
}

TEST_F(VirtualCradleTest, UnplugFaultDropsTheLinkAndWithdrawsTheCradle) {
    SimulatorProcess sim(runtime.path(), {"--unplug-after", "1"});
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_TRUE(link.protocol.ReadBlock(0));
    EXPECT_FALSE(link.protocol.ReadBlock(32));
    EXPECT_EQ(link.Messages(), 1u);

    const int status = sim.WaitForExit(5s);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(sim.Output().find("unplugged"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_FALSE(link.channel.Open(kCradleDeviceString));
}

TEST_F(VirtualCradleTest, StopSignalsEndTheSimulatorAndRemoveItsFiles) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        SimulatorProcess sim(runtime.path(), {});
        EXPECT_TRUE(std::filesystem::exists(sim.socketPath()));
        const int status = sim.Signal(signal);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_TRUE(std::filesystem::is_empty(folder));
    }
}

TEST_F(VirtualCradleTest, OpensTheCradleWithTheExactDeviceString) {
    SimulatorProcess upper(runtime.path(), {"--device-string", "WEX_WRITER", "--pager", "v1"});
    SimulatorProcess exact(runtime.path(), {"--pager", "v2"});

    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    std::vector<std::string> listed = link.channel.deviceList();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"WEX_WRITER", "wex_writer"}));
    std::optional<Generation> identity;
    ASSERT_TRUE(link.protocol.Identify(identity));
    EXPECT_EQ(identity, Generation::V2);
}

TEST_F(VirtualCradleTest, OneProgramAtATimeHasTheCradleOpen) {
    SimulatorProcess sim(runtime.path(), {});
    VirtualLink other(runtime.path());
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    EXPECT_FALSE(other.channel.Open(kCradleDeviceString));
    UsbBackend::Handle handle = -1;
    ASSERT_EQ(other.backend->ListDevices().size(), 1u);
    EXPECT_EQ(other.backend->Open(0, handle), usb_status::kDeviceInUse)
        << "in use, not missing, so the other program can say why";
    link.channel.Close();
    EXPECT_TRUE(other.channel.Open(kCradleDeviceString));
}

TEST_F(VirtualCradleTest, NamedCradlesShareAFolderAndEachNameIsServedOnce) {
    auto first = std::make_unique<SimulatorProcess>(
        runtime.path(), std::vector<std::string>{"--name", "bench-1", "--pager", "v1"});
    SimulatorProcess second(runtime.path(), {"--name", "bench-2"});
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bench-1.cradle", "bench-1.sock", "bench-2.cradle",
                                               "bench-2.sock"}));

    const std::pair<std::string, std::string> refused[] = {
        {"bench-1", "already announced"},
        {".bench", "starts with '.'"},
    };
    for (const auto& [name, reason] : refused) {
        std::string output;
        EXPECT_EQ(SimulatorProcess::Run(runtime.path(), {"--name", name}, output), 2) << name;
        EXPECT_NE(output.find(reason), std::string::npos) << output;
    }
    // The host opens the first cradle by file name: bench-1, still the first simulator's.
    auto identityOfFirst = [&] {
        std::optional<Generation> identity;
        EXPECT_TRUE(link.channel.Open(kCradleDeviceString));
        EXPECT_TRUE(link.protocol.Identify(identity));
        link.channel.Close();
        return identity;
    };
    EXPECT_EQ(identityOfFirst(), Generation::V1);

    // A name left behind by a simulator that died is taken over.
    first->Signal(SIGKILL);
    first = std::make_unique<SimulatorProcess>(
        runtime.path(), std::vector<std::string>{"--name", "bench-1", "--pager", "v2"});
    EXPECT_EQ(first->socketPath(), folder / "bench-1.sock");
    EXPECT_EQ(identityOfFirst(), Generation::V2);
}

TEST_F(VirtualCradleTest, UnpluggedCradleComesBackUnderItsNameWithTheSamePager) {
    // The replug takes longer than the settle time, so had the pager's clock run on while the
    // cable was out, the programmed pager would have been taken out.
    SimulatorProcess sim(runtime.path(),
                         {"--name", "bench", "--pagers", "2", "--settle-ms", "1000",
                          "--unplug-after", "2", "--replug-ms", "1500", "--verbose"});
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    const auto block = Pattern(3);
    bool verified = false;
    ASSERT_TRUE(link.protocol.WriteBlock(1056, block.data(), verified));
    ASSERT_TRUE(link.protocol.WriteBlock(5088, block.data(), verified));
    EXPECT_FALSE(link.protocol.ReadBlock(0));
    ASSERT_TRUE(sim.WaitForOutput("unplugged", 2s));
    EXPECT_FALSE(link.channel.Open(kCradleDeviceString)) << "gone from the folder";

    ASSERT_TRUE(sim.WaitForOutput("replugged: " + (folder / "bench.sock").string(), 3s));
    ASSERT_TRUE(link.channel.Open(kCradleDeviceString));
    ASSERT_TRUE(link.protocol.ReadBlock(1056));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), link.transfer.reply.begin() + 4));
    const std::string output = sim.Output();
    EXPECT_NE(output.find("seated: pager 1"), std::string::npos);
    EXPECT_EQ(output.find("removed"), std::string::npos) << output;
}

TEST_F(VirtualCradleTest, CloseEndsATransferRunningOnAnotherThread) {
    auto cradle = std::make_shared<CradleSimulator>();
    cradle->InjectAt(0, CradleFault::NoReply);
    std::string error;
    auto server = VirtualCradleServer::Start(cradle, folder, {}, error);
    ASSERT_TRUE(server) << error;

    VirtualCradleBackend& backend = *link.backend;
    ASSERT_EQ(backend.ListDevices().size(), 1u);
    UsbBackend::Handle handle = -1;
    ASSERT_EQ(backend.Open(0, handle), usb_status::kSuccess);
    Frame frame{'R', 0, 0, 1};
    std::uint32_t count = 0;
    ASSERT_EQ(backend.Write(handle, frame.data(), kFrameSize, count, 1000), usb_status::kSuccess);

    auto reading = std::async(std::launch::async, [&] {
        std::uint32_t read = 0;
        return backend.Read(handle, frame.data(), kFrameSize, read, 10'000);
    });
    std::this_thread::sleep_for(50ms);
    backend.Close(handle);
    ASSERT_EQ(reading.wait_for(2s), std::future_status::ready);
    EXPECT_NE(reading.get(), usb_status::kSuccess);
}

} // namespace
