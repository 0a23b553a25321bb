#include "ImageCommands.h"

#include <CLI/CLI.hpp>

#include <iostream>

// pager-image: decode, build, rebuild and compare pager memory images from the command line.
int main(int argc, char** argv) {
    CLI::App app{"Decode, encode and compare 8192-byte pager memory images."};
    app.require_subcommand(1);

    std::string input;
    std::string second;
    CommandOptions options;
    const auto addMode = [&](CLI::App* command) {
        command->add_option("--mode", options.mode, "v1 or v2; overrides the image's identity")
            ->check(CLI::IsMember({"v1", "v2"}));
    };
    const auto addTimeAndOutput = [&](CLI::App* command) {
        command->add_option("--time", options.time, "time stamp YYYY-MM-DDTHH:MM (default: now)");
        command->add_option("-o,--output", options.output, "image file to write")->required();
    };

    CLI::App* decode = app.add_subcommand("decode", "print the decoded settings as JSON");
    decode->add_option("IMAGE", input, "image file")->required();
    addMode(decode);

    CLI::App* encode = app.add_subcommand("encode", "build an image from settings JSON");
    encode->add_option("SETTINGS", input, "settings JSON file")->required();
    addMode(encode);
    addTimeAndOutput(encode);

    CLI::App* reencode = app.add_subcommand("reencode", "decode and encode an image");
    reencode->add_option("IMAGE", input, "image file")->required();
    addMode(reencode);
    addTimeAndOutput(reencode);

    CLI::App* diff = app.add_subcommand("diff", "list the settings whose values differ");
    diff->add_option("A", input, "first image file")->required();
    diff->add_option("B", second, "second image file")->required();
    addMode(diff);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitBadInput;
    }

    try {
        if (decode->parsed()) {
            return DecodeCommand(input, options, std::cout);
        }
        if (encode->parsed()) {
            return EncodeCommand(input, options);
        }
        if (reencode->parsed()) {
            return ReencodeCommand(input, options);
        }
        return DiffCommand(input, second, options, std::cout);
    } catch (const CommandError& e) {
        std::cerr << "pager-image: " << e.what() << '\n';
        return kExitBadInput;
    }
}
