// pager-cradle run as a technician runs it, beside pager-cradle-sim processes.
#include "tests/link/backends/SimulatorProcess.h"

#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/ProgramState.h"
#include "image/SettingsJson.h"
#include "link/sim/FactoryPagers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

PagerImage ImageFile(const fs::path& path) {
    PagerImage image{};
    EXPECT_FALSE(ReadImageFile(path, image)) << path;
    return image;
}

// Bytes a write sends, without the time stamp (196..200) an encode fills in.
bool SameWrittenBytes(const PagerImage& a, const PagerImage& b, bool withSerial = false) {
    for (std::size_t address = 0; address < 5120; ++address) {
        const bool written = address < (withSerial ? 320u : 256u) ||
                             (address >= 288 && address < 320) || address >= 1024;
        const bool timeStamp = address >= 196 && address <= 200;
        if (written && !timeStamp && a[address] != b[address]) {
            ADD_FAILURE() << "address " << address << ": " << int(a[address]) << " vs "
                          << int(b[address]);
            return false;
        }
    }
    return true;
}

// A folder of virtual cradles, the tools and their files in one temporary directory.
class PagerCradleTool : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return folder_.path() / name; }

    // Starts a simulator; returns the id pager-cradle knows its cradle by.
    std::string StartCradle(std::vector<std::string> arguments) {
        cradles_.push_back(std::make_unique<SimulatorProcess>(folder_.path(), arguments));
        return "virtual:" + cradles_.back()->socketPath().stem().string();
    }

    Result Run(const std::string& tool, const std::vector<std::string>& arguments) {
        std::string command = "XDG_RUNTIME_DIR=" + Quoted(folder_.path().string()) +
                              " XDG_STATE_HOME=" + Quoted(Path("state").string()) +
                              " PAGER_NO_LIBUSB=1 " + Quoted(tool);
        for (const std::string& argument : arguments) {
            command += " " + Quoted(argument);
        }
        command += " >" + Quoted(Path("stdout").string()) + " 2>" + Quoted(Path("stderr").string());
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Contents(Path("stdout")),
                Contents(Path("stderr"))};
    }
    Result Cradle(const std::vector<std::string>& arguments) {
        return Run(PAGER_CRADLE_TOOL, arguments);
    }

    void SaveSettings(const fs::path& path, const PagerSettings& settings, std::uint8_t mode) {
        std::ofstream(path) << SettingsToJson(settings, mode).dump(2);
    }

    TemporaryDirectory folder_;
    std::vector<std::unique_ptr<SimulatorProcess>> cradles_;
};

// Two cradles: without -c the command refuses and names both; with -c only the chosen pager
// changes, and it holds what pager-image encodes from the same settings.
TEST_F(PagerCradleTool, WritesSettingsToTheChosenOfTwoCradles) {
    const std::string v2 = StartCradle({"--pager", "v2", "--memory", Path("v2.sav")});
    const std::string v1 = StartCradle({"--pager", "v1", "--memory", Path("v1.sav")});

    const Result ambiguous = Cradle({"read", "-o", Path("out.sav")});
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_NE(ambiguous.err.find(v1), std::string::npos) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find(v2), std::string::npos) << ambiguous.err;
    EXPECT_FALSE(fs::exists(Path("out.sav")));

    const Result list = Cradle({"list"});
    EXPECT_NE(list.out.find("V1 pager"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("V2 pager"), std::string::npos) << list.out;

    PagerSettings settings;
    DecodeImage(MakeFactoryPager(FactoryPager::V1), kModeV1, settings);
    settings.startupText = "FROM JSON";
    settings.capcodes[2] = 123456;
    settings.capcodeEnabled[2] = 1;
    SaveSettings(Path("v1.json"), settings, kModeV1);
    const Result written = Cradle({"write", Path("v1.json"), "-c", v1, "--no-backup"});
    ASSERT_EQ(written.status, 0) << written.err;

    ASSERT_EQ(Run(PAGER_IMAGE_TOOL, {"encode", Path("v1.json"), "-o", Path("expected.sav")}).status,
              0);
    EXPECT_TRUE(SameWrittenBytes(ImageFile(Path("v1.sav")), ImageFile(Path("expected.sav"))));
    EXPECT_FALSE(fs::exists(Path("v2.sav"))) << "the other cradle was written";
}

// A write keeps what the pager held in a backup, then leaves exactly the image in the pager;
// verify finds a byte that differs.
TEST_F(PagerCradleTool, BacksUpWritesAndVerifiesAnImage) {
    const PagerImage before = MakeFactoryPager(FactoryPager::V2);
    ASSERT_FALSE(SaveImageFile(Path("pager.sav"), before));
    StartCradle({"--memory", Path("pager.sav")});

    PagerImage image = before;
    image[1500] ^= 0x5A;
    image[30] ^= 0x01;
    ASSERT_FALSE(SaveImageFile(Path("new.sav"), image));
    const Result written = Cradle({"write", Path("new.sav"), "--backup-dir", Path("backups")});
    ASSERT_EQ(written.status, 0) << written.err;
    ASSERT_TRUE(fs::is_directory(Path("backups")));
    const fs::path backup = fs::directory_iterator(Path("backups"))->path();
    EXPECT_NE(written.err.find(backup.string()), std::string::npos) << written.err;
    // A read leaves zero where it does not read.
    PagerImage asRead{};
    std::copy_n(before.begin(), 320, asRead.begin());
    std::copy(before.begin() + 1024, before.begin() + 5120, asRead.begin() + 1024);
    EXPECT_EQ(ImageFile(backup), asRead);
    EXPECT_TRUE(SameWrittenBytes(ImageFile(Path("pager.sav")), image));

    EXPECT_EQ(Cradle({"verify", Path("new.sav")}).status, 0);
    image[1025] ^= 0x20; // a letter of the first canned message
    ASSERT_FALSE(SaveImageFile(Path("changed.sav"), image));
    const Result changed = Cradle({"verify", Path("changed.sav")});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.out.find("cannedMessages"), std::string::npos) << changed.out;
}

// A pager of the other generation: nothing is written and the message names both.
TEST_F(PagerCradleTool, RefusesAPagerOfTheOtherGeneration) {
    StartCradle({"--pager", "v1", "--memory", Path("pager.sav")});
    ASSERT_FALSE(SaveImageFile(Path("v2.sav"), MakeFactoryPager(FactoryPager::V2)));

    const Result refused = Cradle({"write", Path("v2.sav"), "--no-backup"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("V1 pager"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("for V2 pagers"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(Path("pager.sav"))) << "something was written";
}

// The link failing in the middle of a write: exit 3, the block named, and how far it got.
TEST_F(PagerCradleTool, ReportsALinkFailureAndThePagersState) {
    // Exchange 0 identifies the pager; exchange 20 writes the twentieth block, at 0x0540.
    StartCradle({"--bad-status-at", "20"});
    ASSERT_FALSE(SaveImageFile(Path("v2.sav"), MakeFactoryPager(FactoryPager::V2)));

    const Result failed = Cradle({"write", Path("v2.sav"), "--no-backup", "--json"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("block 0x0540"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("partly written (19 of 137 blocks)"), std::string::npos)
        << failed.err;
    EXPECT_NE(failed.out.find("\"blocksWritten\":19"), std::string::npos) << failed.out;
}

} // namespace
