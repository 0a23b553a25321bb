#include "image/ImageFiles.h"
#include "link/backends/VirtualCradleFolder.h"
#include "link/backends/VirtualCradleServer.h"
#include "link/sim/CradleFaults.h"
#include "link/sim/CradleSimulator.h"
#include "link/sim/FactoryPagers.h"

#include <CLI/CLI.hpp>

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

// pager-cradle-sim: presents one simulated cradle, with a pager in it, as a virtual cradle the
// programmer finds like a USB one.

namespace {

struct SimOptions {
    std::string memoryFile;
    std::string pager = "v2";
    std::string deviceString = "wex_writer";
    std::string description = "USBXpress Device";
    std::string folder;
    unsigned delayMs = 0;
    std::optional<std::uint64_t> unplugAfter;
    std::vector<std::uint64_t> shortReplyAt;
    std::vector<std::uint64_t> badStatusAt;
    std::vector<std::uint64_t> corruptEchoAt;
    std::vector<std::uint64_t> noReplyAt;
    std::vector<std::string> faultAt; // "N=name"
    std::optional<std::uint16_t> flakyByte;
    std::uint32_t faultsPerMillion = 0;
    std::uint64_t seed = 1;
    bool verbose = false;
};

const std::map<std::string, FactoryPager> kPagerKinds = {
    {"v1", FactoryPager::V1},
    {"v2", FactoryPager::V2},
    {"none", FactoryPager::None},
};

// Turns the fault options into the simulator's plan; an unreadable --fault gives an error text.
std::optional<std::string> BuildFaultPlan(const SimOptions& options, CradleFaultPlan& plan) {
    plan.replyDelay = std::chrono::milliseconds(options.delayMs);
    plan.unplugAfter = options.unplugAfter;
    plan.flakyAddress = options.flakyByte;
    const std::pair<const std::vector<std::uint64_t>*, CradleFault> kShortcuts[] = {
        {&options.shortReplyAt, CradleFault::ShortReply},
        {&options.badStatusAt, CradleFault::ReplyError},
        {&options.corruptEchoAt, CradleFault::CorruptReplyByte},
        {&options.noReplyAt, CradleFault::NoReply},
    };
    for (const auto& [exchanges, fault] : kShortcuts) {
        for (const std::uint64_t exchange : *exchanges)
            plan.atExchange[exchange] = fault;
    }
    for (const std::string& entry : options.faultAt) {
        const std::size_t equals = entry.find('=');
        std::optional<CradleFault> fault;
        std::uint64_t exchange = 0;
        try {
            if (equals != std::string::npos) {
                std::size_t used = 0;
                exchange = std::stoull(entry.substr(0, equals), &used);
                if (used == equals)
                    fault = CradleFaultFromName(entry.substr(equals + 1));
            }
        } catch (const std::exception&) {
            fault.reset();
        }
        if (!fault)
            return "--fault wants EXCHANGE=NAME, e.g. 12=late-reply; got \"" + entry + "\"";
        plan.atExchange[exchange] = *fault;
    }
    if (options.faultsPerMillion > 0)
        plan.random = RandomCradleFaults{options.seed, options.faultsPerMillion, {}};
    return std::nullopt;
}

std::optional<std::string> LoadMemory(const SimOptions& options, PagerImage& memory) {
    memory = MakeFactoryPager(kPagerKinds.at(options.pager));
    if (options.memoryFile.empty() || !std::filesystem::exists(options.memoryFile))
        return std::nullopt; // a missing file is created by the first accepted write
    // A short file keeps the factory contents beyond its end.
    return ReadImageFile(options.memoryFile, memory);
}

void PrintExchange(const CradleExchange& exchange) {
    std::printf("exchange %llu: %c 0x%04X", static_cast<unsigned long long>(exchange.number),
                exchange.command >= 0x20 && exchange.command < 0x7F ? exchange.command : '?',
                static_cast<unsigned>(exchange.address));
    if (exchange.fault != CradleFault::None)
        std::printf(" fault=%s", std::string(CradleFaultName(exchange.fault)).c_str());
    if (exchange.requestStatus != usb_status::kSuccess)
        std::printf(" write-status=0x%02X", static_cast<unsigned>(exchange.requestStatus));
    if (!exchange.reply)
        std::printf(" no-reply");
    else if (exchange.reply->status != usb_status::kSuccess)
        std::printf(" read-status=0x%02X", static_cast<unsigned>(exchange.reply->status));
    else
        std::printf(" reply=%u", static_cast<unsigned>(exchange.reply->length));
    if (exchange.memoryChanged)
        std::printf(" stored");
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Present a simulated pager cradle as a virtual cradle."};
    SimOptions options;
    app.add_option("--memory", options.memoryFile,
                   "8192-byte image file: loaded at start, rewritten after every accepted write");
    app.add_option("--pager", options.pager, "factory pager when no memory file exists")
        ->check(CLI::IsMember({"v1", "v2", "none"}));
    app.add_option("--device-string", options.deviceString, "serial number string (selector 0)");
    app.add_option("--description", options.description, "product string (selector 1)");
    app.add_option("--folder", options.folder, "folder to announce the cradle in");
    app.add_option("--delay-ms", options.delayMs, "delay before every reply");
    app.add_option("--unplug-after", options.unplugAfter,
                   "vanish after this many exchanges (then exit)");
    app.add_option("--short-reply-at", options.shortReplyAt, "reply with 35 bytes at exchange N");
    app.add_option("--bad-status-at", options.badStatusAt, "fail the read at exchange N");
    app.add_option("--corrupt-echo-at", options.corruptEchoAt,
                   "flip one reply data byte at exchange N");
    app.add_option("--no-reply-at", options.noReplyAt, "never reply at exchange N");
    app.add_option("--fault", options.faultAt,
                   "EXCHANGE=NAME: request-rejected, reply-error, short-reply, no-reply, "
                   "late-reply, corrupt-reply-byte, unplug");
    app.add_option("--flaky-byte", options.flakyByte,
                   "memory address that reads differently on every other read");
    app.add_option("--random-faults", options.faultsPerMillion,
                   "chance per million exchanges of a random link failure");
    app.add_option("--seed", options.seed, "seed for --random-faults");
    app.add_flag("--verbose", options.verbose, "print every exchange");
    app.footer("Exchanges are numbered from 0 in the order requests arrive.");
    CLI11_PARSE(app, argc, argv);

    CradleFaultPlan plan;
    PagerImage memory{};
    std::optional<std::string> problem = BuildFaultPlan(options, plan);
    if (!problem)
        problem = LoadMemory(options, memory);
    if (problem) {
        std::cerr << "pager-cradle-sim: " << *problem << "\n";
        return 2;
    }
    auto cradle = std::make_shared<CradleSimulator>(memory);
    cradle->SetFaults(plan);

    // Signals are taken by sigtimedwait below, so every thread must have them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    VirtualCradleServer::Options serverOptions;
    serverOptions.serialNumber = options.deviceString;
    serverOptions.description = options.description;
    serverOptions.onExchange = [&](const CradleExchange& exchange) {
        if (options.verbose)
            PrintExchange(exchange);
        if (exchange.memoryChanged && !options.memoryFile.empty()) {
            if (FileError error = SaveImageFile(options.memoryFile, cradle->Memory()))
                std::cerr << "pager-cradle-sim: " << *error << "\n";
        }
    };
    const std::filesystem::path folder =
        options.folder.empty() ? VirtualCradleFolder() : std::filesystem::path(options.folder);
    std::string error;
    std::unique_ptr<VirtualCradleServer> server =
        VirtualCradleServer::Start(cradle, folder, std::move(serverOptions), error);
    if (!server) {
        std::cerr << "pager-cradle-sim: " << error << "\n";
        return 1;
    }
    std::printf("ready: %s\n", server->socketPath().c_str());
    std::fflush(stdout);

    const timespec pollInterval{0, 50'000'000};
    while (!server->unplugged()) {
        if (sigtimedwait(&stopSignals, nullptr, &pollInterval) > 0)
            break;
    }
    const bool unplugged = server->unplugged();
    server->Stop();
    if (unplugged) {
        std::printf("unplugged\n");
        std::fflush(stdout);
    }
    return 0;
}
