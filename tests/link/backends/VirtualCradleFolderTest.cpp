#include "SimulatorProcess.h"

#include "link/backends/SystemUsbLibrary.h"
#include "link/backends/UsbXpressIds.h"
#include "link/backends/VirtualCradleAnnouncement.h"
#include "link/backends/VirtualCradleBackend.h"
#include "link/backends/VirtualCradleFolder.h"
#include "link/backends/VirtualCradleServer.h"
#include "link/backends/VirtualCradleWire.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

VirtualCradleAnnouncement AnnouncementFor(pid_t pid, const std::string& name) {
    return {"wex_writer", "USBXpress Device", pid, name + ".sock", name};
}

pid_t FinishedProcessId() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(VirtualCradleFolder, UnsafeFoldersAreRefusedAndReportedOnce) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path& folder, const std::filesystem::path& base)>
            spoil;
        bool needsRoot;
    };
    const Case cases[] = {
        {"other owner",
         [](const auto& folder, const auto&) { ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0); },
         true},
        {"world writable", [](const auto& folder, const auto&) { chmod(folder.c_str(), 0777); },
         false},
        {"group writable", [](const auto& folder, const auto&) { chmod(folder.c_str(), 0720); },
         false},
        {"symbolic link",
         [](const auto& folder, const auto& base) {
             std::filesystem::rename(folder, base / "real");
             std::filesystem::create_directory_symlink(base / "real", folder);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && geteuid() != 0)
            continue; // only root can give a folder away
        TemporaryDirectory base;
        const std::filesystem::path folder = base.path() / "pager-cradles";
        ASSERT_FALSE(PrepareVirtualCradleFolder(folder).has_value());
        EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
        WriteText(folder / "cradle-1.cradle", AnnouncementText(AnnouncementFor(getpid(), "c1")));
        c.spoil(folder, base.path());

        VirtualCradleBackend backend(folder);
        EXPECT_TRUE(backend.ListDevices().empty());
        EXPECT_TRUE(backend.ListDevices().empty());
        EXPECT_TRUE(backend.TakeAccessProblem().has_value());
        EXPECT_FALSE(backend.TakeAccessProblem().has_value());

        std::string error;
        EXPECT_FALSE(
            VirtualCradleServer::Start(std::make_shared<CradleSimulator>(), folder, {}, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(VirtualCradleFolder, CradlesOfDeadSimulatorsAreSkippedAndClearedAway) {
    TemporaryDirectory base;
    const std::filesystem::path folder = base.path() / "pager-cradles";
    ASSERT_FALSE(PrepareVirtualCradleFolder(folder).has_value());
    WriteText(folder / "a-dead.cradle",
              AnnouncementText(AnnouncementFor(FinishedProcessId(), "a-dead")));
    WriteText(folder / "a-dead.sock", "");
    WriteText(folder / "b-alive.cradle", AnnouncementText(AnnouncementFor(getpid(), "b-alive")));

    VirtualCradleBackend backend(folder);
    EXPECT_EQ(backend.ListDevices().size(), 1u);

    RemoveStaleAnnouncements(folder);
    EXPECT_FALSE(std::filesystem::exists(folder / "a-dead.cradle"));
    EXPECT_FALSE(std::filesystem::exists(folder / "a-dead.sock"));
    EXPECT_TRUE(std::filesystem::exists(folder / "b-alive.cradle"));
}

TEST(VirtualCradleFolder, ListingNoticesCradlesComingAndGoing) {
    TemporaryDirectory base;
    const std::filesystem::path folder = base.path() / "pager-cradles";
    VirtualCradleBackend backend(folder);
    EXPECT_TRUE(backend.ListDevices().empty()); // no folder yet

    std::string error;
    VirtualCradleServer::Options options;
    options.serialNumber = "first";
    auto first =
        VirtualCradleServer::Start(std::make_shared<CradleSimulator>(), folder, options, error);
    ASSERT_TRUE(first) << error;
    options.serialNumber = "second";
    auto second =
        VirtualCradleServer::Start(std::make_shared<CradleSimulator>(), folder, options, error);
    ASSERT_TRUE(second) << error;
    std::vector<UsbDeviceInfo> listed = backend.ListDevices();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].serialNumber, "first");
    EXPECT_EQ(listed[0].description, "USBXpress Device");
    EXPECT_EQ(listed[1].serialNumber, "second");

    first.reset();
    listed = backend.ListDevices();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].serialNumber, "second");
}

TEST(VirtualCradleFolder, AnnouncementsThatPointElsewhereAreRejected) {
    const std::string texts[] = {
        R"({"serialNumber":"wex_writer","description":"d","pid":1,"socket":"../x.sock"})",
        R"({"serialNumber":"wex_writer","description":"d","pid":1,"socket":"/tmp/x.sock"})",
        R"({"serialNumber":"wex_writer","description":"d","pid":1,"socket":"a/b.sock"})",
        R"({"serialNumber":"wex_writer","description":"d","pid":1,"socket":""})",
        R"({"serialNumber":"wex_writer","description":"d","pid":0,"socket":"x.sock"})",
        R"({"serialNumber":"wex_writer","pid":1,"socket":"x.sock"})",
        R"({"serialNumber":7,"description":"d","pid":1,"socket":"x.sock"})",
        "not json",
    };
    for (const std::string& text : texts)
        EXPECT_FALSE(ParseAnnouncement(text).has_value()) << text;

    const VirtualCradleAnnouncement good = AnnouncementFor(42, "cradle-42-0");
    const std::optional<VirtualCradleAnnouncement> parsed =
        ParseAnnouncement(AnnouncementText(good));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->socketName, good.socketName);
    EXPECT_EQ(parsed->pid, 42);
}

TEST(VirtualCradleWire, MalformedPacketsAreRejected) {
    const WirePacket packet{WireKind::Reply, 7, 0x0D, 3, {1, 2, 3}};
    std::vector<std::uint8_t> bytes = EncodeWirePacket(packet);
    const std::optional<WirePacket> decoded = DecodeWirePacket(bytes);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->sequence, 7u);
    EXPECT_EQ(decoded->status, 0x0Du);
    EXPECT_EQ(decoded->payload, packet.payload);

    EXPECT_FALSE(DecodeWirePacket(std::span(bytes).first(kWireHeaderSize - 1)));
    bytes[0] = 99;
    EXPECT_FALSE(DecodeWirePacket(bytes));
    std::vector<std::uint8_t> oversized(kWireHeaderSize + kMaxWirePayload + 1, 0);
    oversized[0] = static_cast<std::uint8_t>(WireKind::Data);
    EXPECT_FALSE(DecodeWirePacket(oversized));
}

TEST(SystemUsbLibrary, FindsVirtualCradlesOfTheRuntimeDirectory) {
    TemporaryDirectory runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    setenv("PAGER_NO_LIBUSB", "1", 1);
    EXPECT_EQ(VirtualCradleFolder(), runtime.path() / "pager-cradles");
    std::string error;
    auto server = VirtualCradleServer::Start(std::make_shared<CradleSimulator>(),
                                             VirtualCradleFolder(), {}, error);
    ASSERT_TRUE(server) << error;

    const std::unique_ptr<UsbDeviceLayer> library = CreateSystemUsbLibrary();
    std::uint32_t count = 0;
    ASSERT_EQ(library->GetNumDevices(count), usb_status::kSuccess);
    ASSERT_EQ(count, 1u);
    char text[kDeviceStringSize] = {};
    ASSERT_EQ(library->GetProductString(0, text, kSelectorSerialNumber), usb_status::kSuccess);
    EXPECT_STREQ(text, "wex_writer");

    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(VirtualCradleFolder(),
              std::filesystem::path("/tmp") / ("pager-cradles-" + std::to_string(geteuid())));
}

TEST(UdevRule, InstalledRuleGrantsSeatAccessToEveryCradleId) {
    std::ifstream file(std::filesystem::path(PAGER_SOURCE_DIR) / "packaging/udev" /
                       kUdevRuleFileName);
    ASSERT_TRUE(file);
    std::stringstream text;
    text << file.rdbuf();
    for (const UsbId& id : kCradleUsbIds)
        EXPECT_NE(text.str().find(UdevRuleFor(id)), std::string::npos);
    EXPECT_EQ(text.str().find("MODE="), std::string::npos);
}

} // namespace
