#include "SimOptions.h"

#include "image/ImageFiles.h"
#include "link/backends/VirtualCradleAnnouncement.h"
#include "link/sim/FactoryPagers.h"

#include <filesystem>
#include <map>

namespace {

const std::map<std::string, FactoryPager> kPagerKinds = {
    {"v1", FactoryPager::V1},
    {"v2", FactoryPager::V2},
    {"none", FactoryPager::None},
};

} // namespace

void AddSimOptions(CLI::App& app, SimOptions& options) {
    CLI::Option* memory = app.add_option(
        "--memory", options.memoryFile,
        "8192-byte image file: loaded at start, rewritten after every accepted write");
    app.add_option("--pager", options.pager, "factory pager when no memory file exists")
        ->check(CLI::IsMember({"v1", "v2", "none"}));
    app.add_option("--device-string", options.deviceString,
                   "the cradle's USB serial-number string (string selector 0), not a pager's");
    app.add_option("--description", options.description, "product string (selector 1)");
    app.add_option("--folder", options.folder, "folder to announce the cradle in");
    app.add_option("--name", options.name,
                   "announce the cradle as NAME.cradle and NAME.sock (default cradle-PID-N)");
    app.add_option("--delay-ms", options.delayMs, "delay before every reply");
    app.add_option("--unplug-after", options.unplugAfter,
                   "vanish after this many exchanges (then exit, or come back with --replug-ms)");
    app.add_option("--replug-ms", options.replugMs,
                   "after vanishing, come back after MS with the same name and pager");
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
    CLI::Option* pagers =
        app.add_option("--pagers", options.pagers,
                       "a stream of N fresh pagers of the --pager kind, one after another")
            ->check(CLI::PositiveNumber)
            ->excludes(memory);
    app.add_option(
           "--settle-ms", options.settleMs,
           "take a programmed pager out once the host asked for nothing but block 0 this long")
        ->needs(pagers);
    app.add_option("--empty-ms", options.emptyMs, "the cradle stays empty this long between pagers")
        ->needs(pagers);
    app.add_option("--memory-dir", options.memoryDir,
                   "keep pager K's memory in DIR/pager-NNNN.sav (K from 0001)")
        ->needs(pagers);
    app.add_flag("--verbose", options.verbose,
                 "print every exchange, and each pager seated and removed");
    app.footer("Exchanges are numbered from 0 in the order requests arrive.");
}

std::optional<std::string> CheckSimOptions(const SimOptions& options) {
    if (!options.name.empty()) {
        if (std::optional<std::string> problem = CheckCradleName(options.name))
            return "--name: " + *problem;
    }
    if (options.pagers && options.pager == "none")
        return "--pagers wants pagers that identify themselves: --pager v1 or v2";
    return std::nullopt;
}

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

PagerStreamPlan StreamPlanOf(const SimOptions& options) {
    PagerStreamPlan plan;
    plan.pagers = options.pagers.value_or(1);
    plan.kind = kPagerKinds.at(options.pager);
    plan.settle = std::chrono::milliseconds(options.settleMs);
    plan.empty = std::chrono::milliseconds(options.emptyMs);
    return plan;
}
