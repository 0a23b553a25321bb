// The pager-image command, run as a separate process.
#include "ImageTestSupport.h"
#include "image/ImageFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class PagerImageTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pager-image-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Quoted(const std::string& word) {
        std::string quoted = "'";
        for (char c : word) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }

    Result Run(const std::vector<std::string>& arguments) {
        // A command that waits on a pipe fails the test instead of hanging it.
        std::string command = "timeout 20 " + Quoted(PAGER_IMAGE_TOOL);
        for (const std::string& argument : arguments) {
            command += " " + Quoted(argument);
        }
        command += " >" + Quoted(Path("stdout")) + " 2>" + Quoted(Path("stderr"));
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Contents(Path("stdout")),
                Contents(Path("stderr"))};
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string WriteImage(const std::string& name, const PagerImage& image) {
        return Write(name, Bytes(image, 0, kImageSize));
    }

    fs::path dir_;
};

TEST_F(PagerImageTool, DecodePrintsOneJsonObjectInTheImagesMode) {
    PagerSettings settings;
    settings.capcodes[0] = 1234567;
    settings.unreadAlert = 3;
    const std::string v1 = WriteImage("v1.sav", EncodeFor(settings, Generation::V1));
    const Result r = Run({"decode", v1});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["programmingMode"], 0);
    EXPECT_EQ(json["capcodes"][0], 1234567);
    EXPECT_EQ(json["unreadAlert"], 3);
    EXPECT_EQ(json["cannedMessages"].size(), 32U);

    // --mode overrides the identity: V1 byte 18 = 60 read as a V2 index, which is beyond the
    // V2 list and so printed as no selection.
    EXPECT_EQ(nlohmann::json::parse(Run({"decode", v1, "--mode", "v2"}).out)["unreadAlert"], 255);
}

TEST_F(PagerImageTool, DecodeNeedsAModeForAnUnknownIdentity) {
    const std::string shortFile = Write("short.sav", "XXXX\x01");
    const Result r = Run({"decode", shortFile});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("short.sav"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    const Result forced = Run({"decode", shortFile, "--mode", "v1"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(nlohmann::json::parse(forced.out)["messageDeletion"], 1); // byte 4 bit 0
}

TEST_F(PagerImageTool, EncodeThenDecodeGivesTheSettingsBack) {
    const std::string json = Write("s.json", R"({
        "programmingMode": 0, "capcodes": [1234567, 8, 0, 0, 0, 0, 0, 0],
        "capcodeEnabled": [1, 0, 0, 0, 0, 0, 0, 0], "startupText": "Gr\u00fc\u00dfe",
        "frequencyText": "152.84", "language": 2})");
    const Result r = Run({"encode", json, "--time", "2026-03-05T10:20", "-o", Path("out.sav")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string image = Contents(Path("out.sav"));
    ASSERT_EQ(image.size(), kImageSize);
    EXPECT_EQ(image.substr(0, 4), "2011");
    EXPECT_EQ(image.substr(164, 4), "\x61\x1E\x5A\xD0");
    EXPECT_EQ(image.substr(196, 5), "\x9A\x03\x05\x0A\x14");
    EXPECT_EQ(image[10], 8); // V1 code of the third language
    const auto decoded = nlohmann::json::parse(Run({"decode", Path("out.sav")}).out);
    EXPECT_EQ(decoded["startupText"], "Gr\u00fc\u00dfe");
    EXPECT_EQ(decoded["frequencyText"], "152.8400");
    EXPECT_EQ(decoded["language"], 2);

    ASSERT_EQ(Run({"encode", json, "--mode", "v2", "-o", Path("v2.sav")}).status, 0);
    EXPECT_EQ(Contents(Path("v2.sav")).substr(0, 4), "W50C");
}

TEST_F(PagerImageTool, BadInputExitsWithStatusTwoAndLeavesTheOutputAlone) {
    struct Case {
        std::vector<std::string> arguments;
        std::string named; // part of the expected message
    };
    const std::string good = Write("good.json", "{}");
    const std::string image = WriteImage("image.sav", EncodeFor({}, Generation::V2));
    const std::string pipe = Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const Case cases[] = {
        {{"encode", Write("a.json", R"({"capcodes": [1,2,3]})")}, "capcodes"},
        {{"encode", Write("b.json", R"({"zoomLevel": 300})")}, "zoomLevel"},
        {{"encode", Write("c.json", R"({"startupText": "\u0100"})")}, "startupText"},
        {{"encode", Write("d.json", R"({"unknown": 0})")}, "unknown"},
        {{"encode", Write("e.json", "{ not json")}, "e.json"},
        {{"encode", Path("missing.json")}, "missing.json"},
        {{"encode", good, "--time", "2026-02-30T10:00"}, "--time"},
        {{"encode", good, "--time", "2026-02-03 10:00"}, "--time"},
        {{"encode", good, "--mode", "v3"}, "--mode"},
        {{"encode", Write("f.json", R"({"programmingMode": 1, "messageNumberOrder": 2})"), "--mode",
          "v1"},
         "V1 list"},
        {{"reencode", Path("missing.sav")}, "missing.sav"},
        {{"reencode", Write("odd.sav", "ABCD")}, "odd.sav"},
        {{"encode", pipe}, "pipe: not a regular file (a named pipe)"},
        {{"reencode", pipe}, "pipe: not a regular file (a named pipe)"},
    };
    for (const Case& c : cases) {
        const std::string output = Write("out.sav", "previous");
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-o", output});
        const Result r = Run(arguments);
        EXPECT_EQ(r.status, 2) << c.named;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(Contents(output), "previous") << c.named;
    }
    EXPECT_EQ(Run({"encode", good, "-o", Path("no-folder/out.sav")}).status, 2);
    EXPECT_EQ(Run({"decode", Path("missing.sav")}).status, 2);
    EXPECT_EQ(Run({"diff", image}).status, 2);
    EXPECT_EQ(Run({}).status, 2);
}

// An erased pager holds no identity and no list item where a list's bits allow more items.
TEST_F(PagerImageTool, AnErasedPagerDecodesToSettingsThatEncode) {
    PagerImage erased;
    erased.fill(0xFF);
    const std::string image = WriteImage("erased.sav", erased);
    for (const char* mode : {"v1", "v2"}) {
        const Result decoded = Run({"decode", image, "--mode", mode});
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const std::string json = Write("erased.json", decoded.out);
        const Result encoded = Run({"encode", json, "--mode", mode, "-o", Path("out.sav")});
        EXPECT_EQ(encoded.status, 0) << mode << ": " << encoded.err;
    }
}

TEST_F(PagerImageTool, ReencodeKeepsWholeCannedBuffers) {
    PagerImage source = RandomImage(5, 1);
    std::copy(kIdentityV2.begin(), kIdentityV2.end(), source.begin());
    const std::string input = WriteImage("in.sav", source);
    const Result r = Run({"reencode", input, "--time", "2030-01-02T03:04", "-o", Path("re.sav")});
    ASSERT_EQ(r.status, 0) << r.err;
    PagerSettings settings = DecodeFrom(source, Generation::V2);
    PagerImage expected{};
    EncodeImage(settings, Generation::V2, LocalDateTime{2030, 1, 2, 3, 4}, expected);
    const std::string output = Contents(Path("re.sav"));
    EXPECT_EQ(output, Bytes(expected, 0, kImageSize));
    EXPECT_EQ(output.substr(1024, 127), Bytes(source, 1024, 127)); // past the first zero byte
}

TEST_F(PagerImageTool, DiffListsEachDifferingValue) {
    PagerSettings settings;
    const std::string a = WriteImage("a.sav", EncodeFor(settings, Generation::V2));
    settings.capcodes[2] = 77;
    settings.toneType[1][3] = 2;
    settings.otaPassword = "x\"y";
    const std::string b = WriteImage("b.sav", EncodeFor(settings, Generation::V2));

    const Result same = Run({"diff", a, a});
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(same.out.empty());
    const Result r = Run({"diff", a, b});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "toneType[1][3]: 0 -> 2\n"
                     "capcodes[2]: 0 -> 77\n"
                     "otaPassword: \"\" -> \"x\\\"y\"\n");
}

} // namespace
