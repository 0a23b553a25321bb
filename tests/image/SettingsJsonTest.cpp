// Settings as JSON: every field by name, texts as ISO-8859-1, and the rejected inputs.
#include "image/SettingsJson.h"
#include "ImageTestSupport.h"
#include "image/SettingsFields.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;

TEST(Latin1, EveryByteRoundTripsThroughUtf8) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    const std::string text = Latin1ToUtf8(bytes);
    EXPECT_EQ(text.size(), 128U + 2U * 128U);
    EXPECT_EQ(Utf8ToLatin1(text), bytes);
}

TEST(Latin1, RejectsWhatIsNotOneByteText) {
    const char* bad[] = {"\xE2\x82\xAC",     // U+20AC
                         "\xF0\x9F\x98\x80", // U+1F600
                         "\xC0\x81",         // overlong
                         "\xC3",             // cut short
                         "\x80",             // stray continuation
                         "\xC3\x28"};
    for (const char* text : bad) {
        std::string reason;
        EXPECT_FALSE(Utf8ToLatin1(text, &reason)) << text;
        EXPECT_FALSE(reason.empty());
    }
    std::string reason;
    Utf8ToLatin1("a\xE2\x82\xAC", &reason);
    EXPECT_NE(reason.find("U+20AC"), std::string::npos) << reason;
}

TEST(SettingsJson, EveryFieldSurvivesTheJsonForm) {
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
        for (Generation mode : {Generation::V1, Generation::V2}) {
            // Canned buffers hold text up to the first zero byte, so make each end with one.
            PagerSettings decoded = DecodeFrom(RandomImage(seed, 1), mode);
            for (auto& text : decoded.cannedMessages) {
                std::fill(text.begin() + static_cast<std::ptrdiff_t>(seed) * 10, text.end(), 0);
            }
            const json object = json::parse(SettingsToJson(decoded, mode).dump());
            PagerSettings parsed;
            std::optional<Generation> parsedMode;
            ASSERT_FALSE(ApplySettingsJson(object, parsed, parsedMode));
            // A list index beyond its list is written as 255, as the window shows it.
            ClearUnlistedIndexes(decoded, mode);
            EXPECT_EQ(parsed, decoded) << "seed " << seed;
            EXPECT_EQ(parsedMode, mode);
        }
    }
}

TEST(SettingsJson, FieldsLeftOutKeepTheirValues) {
    PagerSettings settings;
    settings.zoomLevel = 2;
    std::optional<Generation> mode;
    ASSERT_FALSE(ApplySettingsJsonText(
        R"({"capcodes": [8, 0, 0, 0, 0, 0, 0, 2097151], "startupText": "Caf\u00e9"})", settings,
        mode));
    EXPECT_EQ(settings.capcodes[7], 2097151U);
    EXPECT_EQ(settings.startupText, "Caf\xE9");
    EXPECT_EQ(settings.zoomLevel, 2);
    EXPECT_EQ(settings.handProgramPassword, "3916");
    EXPECT_FALSE(mode);
}

TEST(SettingsJson, BadInputNamesTheFieldAndChangesNothing) {
    struct Case {
        const char* json;
        const char* named; // part of the expected message
    };
    const Case cases[] = {
        {R"({"capcodes": [8, 0, 0, 0, 0, 0, 0, 2097152]})", "capcodes[7]"},
        {R"({"language": 256})", "language"},
        {R"({"language": -1})", "language"},
        {R"({"language": 1.5})", "language"},
        {R"({"language": "1"})", "language"},
        {R"({"toneType": [[0,0,0,0]]})", "toneType"},
        {R"({"toneType": [[0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0]]})",
         "toneType[0]"},
        {R"({"vibrate": 1})", "vibrate"},
        {R"({"startupText": "ABCDEFGHIJKLMNOPQRSTU"})", "startupText"},
        {R"({"serialNumber": "0123456789ABCDEFG"})", "serialNumber"},
        {R"({"otaPassword": "123456789"})", "otaPassword"},
        {R"({"handProgramPassword": "12345"})", "handProgramPassword"},
        {R"({"frequencyText": "152.84000"})", "frequencyText"},
        {R"({"frequencyText": "\u20ac"})", "U+20AC"},
        {R"({"startupText": "AB\u0000CD"})", "U+0000"},
        {R"({"cannedMessages": ["a\u0000b", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""]})",
         "cannedMessages[0]"},
        {R"({"frequencyText": 152})", "frequencyText"},
        {R"({"cannedMessages": ["a"]})", "cannedMessages"},
        {R"({"noSuchSetting": 1})", "noSuchSetting"},
        {R"({"programmingMode": 2})", "programmingMode"},
        {R"([1, 2])", "object"},
        {R"({"language": )", "invalid JSON"},
    };
    for (const Case& c : cases) {
        PagerSettings settings;
        settings.language = 1;
        std::optional<Generation> mode;
        const auto error = ApplySettingsJsonText(c.json, settings, mode);
        ASSERT_TRUE(error) << c.json;
        EXPECT_NE(error->find(c.named), std::string::npos) << *error;
        EXPECT_EQ(settings.language, 1);
        EXPECT_FALSE(mode);
    }
}

// A list setting is an item index or 255; the lists differ in length between the generations,
// which the JSON's mode, or the mode the caller gives, chooses.
TEST(SettingsJson, ListIndexesNameAnItemOrNone) {
    struct Case {
        const char* json;
        std::optional<Generation> listsOf;
        const char* refusal; // part of the expected message; nullptr when accepted
    };
    const std::optional<Generation> either;
    const Case cases[] = {
        {R"({"autoIncrementStep": [4, 255, 0, 0, 0, 0, 0, 0]})", either, nullptr},
        {R"({"autoIncrementStep": [0, 0, 7, 0, 0, 0, 0, 0]})", either,
         R"(field "autoIncrementStep[2]": 7 is not an item of its list (0..4, or 255 for none))"},
        {R"({"autoIncrementStep": [0, 0, 0, 0, 0, 0, 0, 254]})", either, "autoIncrementStep[7]"},
        {R"({"lcdContrast": 15, "alertLength": 99, "unreadAlertTimes": 25})", either, nullptr},
        {R"({"lcdContrast": 16})", either, "lcdContrast"},
        {R"({"toneType": [[3,3,3,3],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,0],[0,0,0,4]]})",
         either, "toneType[7][3]"},
        {R"({"alertMelody": [8, 0, 0, 0, 0, 0, 0, 9]})", either, "alertMelody[7]"},
        {R"({"outOfRangeInterval": 10})", either, "outOfRangeInterval"},
        {R"({"programmingMode": 1, "messageNumberOrder": 2, "language": 5})", either, nullptr},
        {R"({"programmingMode": 0, "messageNumberOrder": 2})", either,
         "messageNumberOrder\": 2 is not an item of its V1 list (0..1, or 255"},
        {R"({"programmingMode": 0, "messageNumberOrder": 255})", either, nullptr},
        {R"({"messageNumberOrder": 2})", either, nullptr},
        {R"({"unreadAlert": 8})", either, "(0..4 in V1, 0..7 in V2, or 255 for none)"},
        {R"({"programmingMode": 1, "language": 5})", Generation::V1, "V1 list (0..3"},
        {R"({"programmingMode": 0, "unreadAlert": 7})", Generation::V2, nullptr},
    };
    for (const Case& c : cases) {
        PagerSettings settings;
        std::optional<Generation> mode;
        const auto error = ApplySettingsJsonText(c.json, settings, mode, c.listsOf);
        if (c.refusal == nullptr) {
            EXPECT_FALSE(error) << c.json << ": " << *error;
        } else {
            ASSERT_TRUE(error) << c.json;
            EXPECT_NE(error->find(c.refusal), std::string::npos) << *error;
            EXPECT_EQ(settings, PagerSettings{}) << c.json;
        }
    }
}

// Whatever an image holds, the JSON decoded from it encodes: an index beyond its list is
// written as 255, which the window shows as no selection.
TEST(SettingsJson, EveryDecodedImageReadsBack) {
    PagerImage erased;
    erased.fill(0xFF);
    std::vector<std::pair<std::string, PagerImage>> images = {
        {"factory V1", EncodeFor({}, Generation::V1)},
        {"factory V2", EncodeFor({}, Generation::V2)},
        {"erased", erased},
        {"zero", PagerImage{}},
    };
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        images.emplace_back("random " + std::to_string(seed), RandomImage(seed));
    }
    for (const auto& [name, image] : images) {
        for (const Generation mode : {Generation::V1, Generation::V2}) {
            const json object = json::parse(SettingsToJson(DecodeFrom(image, mode), mode).dump());
            PagerSettings settings;
            std::optional<Generation> parsedMode;
            const auto error = ApplySettingsJson(object, settings, parsedMode);
            EXPECT_FALSE(error) << name << " in " << GenerationName(mode) << ": " << *error;
        }
    }
    // The erased pager's 4-bit melody 15 and its interval byte 255 (254 + 1) are no items.
    const auto erasedJson = SettingsToJson(DecodeFrom(erased, Generation::V2), Generation::V2);
    EXPECT_EQ(erasedJson["alertMelody"][0], 255);
    EXPECT_EQ(erasedJson["outOfRangeInterval"], 255);
    EXPECT_EQ(SettingsToJson(DecodeFrom(erased, Generation::V2), Generation::V2,
                             UnlistedIndexes::AsStored)["outOfRangeInterval"],
              254);
}

// A canned text keeps the last byte of its buffer for the terminating zero.
TEST(SettingsJson, CannedTextsHoldAtMost127Characters) {
    for (const std::size_t length : {127U, 128U}) {
        json object;
        object["cannedMessages"] = json::array();
        for (int m = 0; m < 32; ++m) {
            object["cannedMessages"].push_back(m == 4 ? std::string(length, 'x') : "");
        }
        PagerSettings settings;
        std::optional<Generation> mode;
        const auto error = ApplySettingsJson(object, settings, mode);
        if (length == 127) {
            EXPECT_FALSE(error);
            EXPECT_EQ(settings.cannedMessages[4][126], 'x');
            EXPECT_EQ(settings.cannedMessages[4][127], 0);
        } else {
            ASSERT_TRUE(error);
            EXPECT_NE(error->find("cannedMessages[4]"), std::string::npos) << *error;
        }
    }
}

TEST(SettingsJson, LaterErrorsDoNotLeaveEarlierFieldsApplied) {
    PagerSettings settings;
    std::optional<Generation> mode = Generation::V1;
    EXPECT_TRUE(ApplySettingsJsonText(
        R"({"programmingMode": 1, "dateFormat": 1, "zoomLevel": 999})", settings, mode));
    EXPECT_EQ(settings.dateFormat, 0);
    EXPECT_EQ(mode, Generation::V1);
}

// The parser's message quotes the bytes it stopped at; the reason must stay printable UTF-8
// whatever they were.
TEST(SettingsJson, ParseErrorsArePrintableWhateverTheInput) {
    const std::string inputs[] = {"{\"mode\xE3x\": 0}", "{\"a\x1B[31m\": 1", "\xFF\xFE",
                                  "{\"\xED\xA0\x80\""};
    for (const std::string& input : inputs) {
        PagerSettings settings;
        std::optional<Generation> mode;
        const auto error = ApplySettingsJsonText(input, settings, mode);
        ASSERT_TRUE(error) << input;
        EXPECT_NE(error->find("invalid JSON"), std::string::npos) << *error;
        EXPECT_NO_THROW((void)json(*error).dump()) << *error;
        EXPECT_EQ(error->find('\x1B'), std::string::npos) << *error;
    }
}

} // namespace
