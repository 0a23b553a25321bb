// pager-cradle run as a technician runs it, beside pager-cradle-sim processes.
#include "tests/link/backends/SimulatorProcess.h"

#include "image/Generation.h"
#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/SettingsJson.h"
#include "link/sim/FactoryPagers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

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

    void SaveSettings(const fs::path& path, const PagerSettings& settings, Generation mode) {
        std::ofstream(path) << SettingsToJson(settings, mode).dump(2);
    }

    // A V2 pager memory file whose serial number is these bytes.
    void SavePager(const fs::path& path, const std::string& serialBytes) {
        PagerImage image = MakeFactoryPager(FactoryPager::V2);
        PagerSettings settings;
        DecodeImage(image, Generation::V2, settings);
        settings.serialNumber = serialBytes;
        EncodeImage(settings, Generation::V2, std::nullopt, image);
        ASSERT_FALSE(SaveImageFile(path, image));
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
    DecodeImage(MakeFactoryPager(FactoryPager::V1), Generation::V1, settings);
    settings.startupText = "FROM JSON";
    settings.capcodes[2] = 123456;
    settings.capcodeEnabled[2] = 1;
    SaveSettings(Path("v1.json"), settings, Generation::V1);
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

// Standard output with --json: exactly one object, whose exit status is the command's.
nlohmann::json OneObject(const Result& result) {
    nlohmann::json object;
    std::string rest;
    std::istringstream lines(result.out);
    std::string first;
    std::getline(lines, first);
    std::getline(lines, rest, '\0');
    EXPECT_TRUE(rest.empty()) << "more than one line on stdout:\n" << result.out;
    try {
        object = nlohmann::json::parse(first);
    } catch (const nlohmann::json::exception& error) {
        ADD_FAILURE() << "stdout is not one JSON object: " << error.what() << "\n" << result.out;
        return object;
    }
    EXPECT_EQ(object.value("exitStatus", -1), result.status) << result.out;
    EXPECT_TRUE(object.contains("message")) << result.out;
    return object;
}

// Each line of a batch's standard output is a JSON object; the last one is the "end" event.
std::vector<nlohmann::json> JsonLines(const Result& result) {
    std::vector<nlohmann::json> lines;
    std::istringstream stream(result.out);
    for (std::string line; std::getline(stream, line);) {
        try {
            lines.push_back(nlohmann::json::parse(line));
        } catch (const nlohmann::json::exception& error) {
            ADD_FAILURE() << "not JSON: " << line << " (" << error.what() << ")";
        }
    }
    EXPECT_FALSE(lines.empty()) << result.err;
    if (!lines.empty()) {
        EXPECT_EQ(lines.back().value("event", ""), "end") << result.out;
        EXPECT_EQ(lines.back().value("exitStatus", -1), result.status) << result.out;
    }
    return lines;
}

// A serial number with a byte above 127 (and an erased pager's 0xFF bytes) goes through read,
// write, verify and batch with --json as its ISO-8859-1 characters in UTF-8, on standard
// output and on the terminal.
TEST_F(PagerCradleTool, TextsAbove127ReachJsonAndTerminalAsUtf8) {
    const std::string latin1 = "CAF\xE9-0001";
    const std::string utf8 = "CAF\xC3\xA9-0001";
    SavePager(Path("pager.sav"), latin1);
    const std::string cradle = StartCradle({"--memory", Path("pager.sav")});

    const Result read = Cradle({"read", "-o", Path("read.sav"), "--json"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(OneObject(read)["serialNumber"], utf8);
    EXPECT_NE(read.err.find(utf8), std::string::npos) << read.err;

    PagerSettings settings;
    DecodeImage(ImageFile(Path("read.sav")), Generation::V2, settings);
    settings.serialNumber = "\xC5LESUND-7";
    SaveSettings(Path("new.json"), settings, Generation::V2);
    const Result written = Cradle({"write", Path("new.json"), "--serial", "--json", "--no-backup"});
    EXPECT_EQ(written.status, 0) << written.err;
    OneObject(written);
    EXPECT_EQ(ImageFile(Path("pager.sav"))[263], 0xC5) << "the serial is right-aligned in 16";
    const Result verified = Cradle({"verify", Path("new.json"), "--serial", "--json"});
    EXPECT_EQ(verified.status, 0) << verified.err;
    OneObject(verified);

    std::ofstream(Path("list.csv")) << "serial,capcode1\n" << utf8 << ",1300000\n";
    const Result batch = Cradle({"batch", Path("new.json"), "--journal", Path("j.db"),
                                 "--assignments", Path("list.csv"), "--json"});
    EXPECT_EQ(batch.status, 0) << batch.err;
    bool programmed = false;
    for (const nlohmann::json& line : JsonLines(batch)) {
        if (line.value("event", "") == "pager") {
            EXPECT_EQ(line["serialNumber"], utf8);
            programmed = line["outcome"] == "programmed";
        }
    }
    EXPECT_TRUE(programmed) << batch.out;
    const Result journal = Cradle({"journal", Path("j.db")});
    EXPECT_NE(journal.out.find(utf8), std::string::npos) << journal.out;

    // An erased pager: every serial byte 0xFF.
    SavePager(Path("erased.sav"), std::string(16, '\xFF'));
    const std::string erased = StartCradle({"--memory", Path("erased.sav")});
    const Result blank = Cradle({"read", "-c", erased, "-o", Path("erased-read.sav"), "--json"});
    EXPECT_EQ(Cradle({"read", "-o", Path("x.sav"), "--json"}).status, 2) << "two cradles now";
    EXPECT_EQ(blank.status, 0) << blank.err;
    std::string ys;
    for (int i = 0; i < 16; ++i) {
        ys += "\xC3\xBF";
    }
    EXPECT_EQ(OneObject(blank)["serialNumber"], ys);
    const Result first = Cradle({"read", "-c", cradle, "-o", Path("again.sav"), "--json"});
    EXPECT_EQ(OneObject(first)["serialNumber"], utf8) << "as the batch left it";
}

// Commands that end early with --json still print exactly one object, with the exit status
// and the message, and human text goes to standard error; two outputs with one name, or an
// output that cannot be written, are refused before the pager is read, so no file is left.
TEST_F(PagerCradleTool, EveryEndingWithJsonIsOneObject) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string inMessage;
    };
    const auto check = [&](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::vector<std::string> arguments = c.arguments;
            arguments.push_back("--json");
            const Result result = Cradle(arguments);
            SCOPED_TRACE(arguments.front() + " " + (arguments.size() > 1 ? arguments[1] : ""));
            EXPECT_EQ(result.status, c.status) << result.err;
            const std::string message = OneObject(result).value("message", "");
            EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
            EXPECT_NE(result.err.find(c.inMessage), std::string::npos) << result.err;
        }
    };
    ASSERT_FALSE(SaveImageFile(Path("v2.sav"), MakeFactoryPager(FactoryPager::V2)));
    check({
        {{"read", "-o", Path("x.sav")}, 3, "No cradle found"},
        {{"frob"}, 2, "not a command"},
        {{"verify"}, 2, "INPUT is required"},
    });

    const std::string one = StartCradle({"--memory", Path("one.sav")});
    const std::string two = StartCradle({"--memory", Path("two.sav")});
    fs::create_directory(Path("folder"));
    PagerImage changed = MakeFactoryPager(FactoryPager::V2);
    changed[1030] ^= 0x01;
    ASSERT_FALSE(SaveImageFile(Path("changed.sav"), changed));
    check({
        {{"read", "-o", Path("x.sav")}, 2, "Several cradles"},
        {{"read", "-o", Path("x.sav"), "-c", "virtual:nowhere"}, 3, "No cradle at virtual:nowhere"},
        {{"write", Path("missing.sav"), "-c", one}, 2, "missing.sav"},
        {{"read", "-c", one, "-o", Path("same"), "--settings", Path("./same")},
         2,
         "name the same file"},
        {{"read", "-c", one, "-o", Path("ok.sav"), "--settings", Path("folder")}, 2, "a folder"},
        {{"verify", Path("changed.sav"), "-c", one}, 1, "1 difference"},
    });
    EXPECT_FALSE(fs::exists(Path("same")));
    EXPECT_FALSE(fs::exists(Path("ok.sav"))) << "written although another output was refused";
    const Result differs = Cradle({"verify", Path("changed.sav"), "-c", two, "--json"});
    EXPECT_NE(differs.err.find("cannedMessages"), std::string::npos) << "the list goes to stderr";
}

// The command printed after a write broke off puts the backup back: the pager then holds the
// backup byte for byte over everything a write covers, its serial number too.
TEST_F(PagerCradleTool, ThePrintedRestoreCommandPutsTheBackupBack) {
    SavePager(Path("pager.sav"), "OLD-0001");
    const PagerImage before = ImageFile(Path("pager.sav"));
    // Exchanges: an identity poll, the two backup passes of 138 blocks, then the write, whose
    // first ten blocks hold the settings and the serial number: 300 breaks it off after them.
    StartCradle({"--memory", Path("pager.sav"), "--bad-status-at", "300"});
    PagerSettings settings;
    DecodeImage(before, Generation::V2, settings);
    settings.serialNumber = "NEW-0002";
    settings.startupText = "CHANGED";
    SaveSettings(Path("new.json"), settings, Generation::V2);

    const Result broken =
        Cradle({"write", Path("new.json"), "--serial", "--backup-dir", Path("backups")});
    ASSERT_EQ(broken.status, 3) << broken.err;
    ASSERT_NE(ImageFile(Path("pager.sav")), before) << "the write broke off too early";
    const std::string lead = "write them back with: pager-cradle ";
    const std::size_t start = broken.err.find(lead);
    ASSERT_NE(start, std::string::npos) << broken.err;
    const std::size_t end = broken.err.find(").", start);
    std::istringstream words(broken.err.substr(start + lead.size(), end - start - lead.size()));
    std::vector<std::string> restore{std::istream_iterator<std::string>(words), {}};

    const Result restored = Cradle(restore);
    ASSERT_EQ(restored.status, 0) << restored.err;
    const PagerImage after = ImageFile(Path("pager.sav"));
    const fs::path backup = Path("backups") / restore[1].substr(restore[1].rfind('/') + 1);
    const PagerImage saved = ImageFile(backup);
    for (std::size_t address = 0; address < 5120; ++address) {
        if (address < 320 || address >= 1024) {
            ASSERT_EQ(after[address], saved[address]) << "address " << address;
            ASSERT_EQ(after[address], before[address]) << "address " << address;
        }
    }
}

// A batch refuses what it can tell is wrong before the first pager: an empty, repeated or mixed
// --cradles, a count of 0, a backup folder that is a file.
TEST_F(PagerCradleTool, BatchRefusesMistakesBeforeTheFirstPager) {
    SavePager(Path("pager.sav"), "B-1");
    const PagerImage before = ImageFile(Path("pager.sav"));
    const std::string cradle = StartCradle({"--memory", Path("pager.sav")});
    std::ofstream(Path("file")) << "x";
    const std::vector<std::string> batch = {"batch", Path("pager.sav"), "--journal", Path("j.db"),
                                            "--shared-only"};
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string inMessage;
    } cases[] = {
        {{"--count", "2", "--cradles", ""}, 2, "leaves a cradle id empty"},
        {{"--count", "2", "--cradles", cradle + "," + cradle}, 2, "twice"},
        {{"--count", "2", "--cradles", "all," + cradle}, 2, "\"all\" already takes"},
        {{"--count", "0"}, 2, "at least 1"},
        {{"--count", "2", "--backup-dir", Path("file")}, 2, "is a file, not a folder"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = batch;
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Result result = Cradle(arguments);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.inMessage), std::string::npos) << result.err;
    }
    EXPECT_EQ(ImageFile(Path("pager.sav")), before) << "the pager was written";
}

} // namespace
