#include "CradleCommands.h"

#include "CommandInput.h"
#include "CommandReport.h"
#include "TransferProgress.h"

#include "image/ImageCodec.h"
#include "image/ImageFiles.h"
#include "image/SettingsDiff.h"
#include "image/SettingsJson.h"
#include "production/CradleDirectory.h"
#include "production/CradleSite.h"
#include "production/PagerBackup.h"
#include "programming/SerialNumber.h"
#include "programming/transfer/PagerTransfer.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>

namespace {

std::string CradleListText(const std::vector<FoundCradle>& cradles) {
    std::string text;
    for (const FoundCradle& cradle : cradles) {
        text += "\n  " + cradle.id + " (" + cradle.kind + ")";
    }
    return text;
}

} // namespace

std::string ChooseCradleId(const std::optional<std::string>& requested) {
    const std::vector<FoundCradle> cradles = FindCradles();
    const FoundCradle* chosen = nullptr;
    if (requested) {
        for (const FoundCradle& cradle : cradles) {
            if (cradle.id == *requested) {
                chosen = &cradle;
            }
        }
        if (chosen == nullptr) {
            throw CradleCommandError(kExitNoCradle,
                                     "No cradle at " + *requested + "." +
                                         (cradles.empty()
                                              ? std::string(" No cradle is connected.")
                                              : " Connected cradles:" + CradleListText(cradles)));
        }
    } else if (cradles.empty()) {
        throw CradleCommandError(
            kExitNoCradle, "No cradle found. Plug the cradle in (or start pager-cradle-sim for a "
                           "virtual one), then run the command again.");
    } else if (cradles.size() > 1) {
        throw CradleCommandError(kExitBadInput,
                                 "Several cradles are connected; choose one with -c ID:" +
                                     CradleListText(cradles));
    } else {
        chosen = &cradles.front();
    }
    if (chosen->accessDenied) {
        throw CradleCommandError(kExitNoCradle,
                                 "Cradle " + chosen->id + ": no permission.\n" + CradleAccessFix());
    }
    return chosen->id;
}

void OpenCradleSite(CradleSite& site) {
    switch (site.Open()) {
    case CradleSite::Access::Open:
        return;
    case CradleSite::Access::InUse:
        throw CradleCommandError(
            kExitNoCradle, "Cradle " + site.id() +
                               " is in use by another program (the Pager Programmer window or "
                               "another pager-cradle). Close that program, then try again.");
    case CradleSite::Access::Gone:
        break;
    }
    throw CradleCommandError(kExitNoCradle,
                             "Cradle " + site.id() +
                                 " could not be opened. Check that it is plugged in, "
                                 "then run the command again.");
}

namespace {

// The exit status for a transfer that did not succeed.
int ExitStatusOf(const TransferOutcome& outcome) {
    switch (outcome.result) {
    case TransferResult::Done:
        return kExitDone;
    case TransferResult::Stopped:
        return kExitInterrupted;
    case TransferResult::LinkFailed:
        return kExitNoCradle;
    default:
        return kExitPagerFailed;
    }
}

// Ctrl-C stops a read at once. During a write the first one only says that the write goes
// on, so the pager is not left half-programmed; the next one stops at once.
class InterruptPolicy {
public:
    InterruptPolicy(InterruptWatch& watch, std::atomic<bool>& stopRequested,
                    TransferProgress& progress)
        : watch_(watch) {
        watch_.SetHandler([this, &stopRequested, &progress](int) {
            if (writing_.load() && !warned_.exchange(true)) {
                progress.Interrupt();
                std::fputs("Finishing the write so the pager is not left half-programmed. Press "
                           "Ctrl-C again to stop at once.\n",
                           stderr);
                return;
            }
            stopRequested.store(true);
        });
    }
    ~InterruptPolicy() { watch_.SetHandler(nullptr); }
    InterruptPolicy(const InterruptPolicy&) = delete;
    InterruptPolicy& operator=(const InterruptPolicy&) = delete;

    void SetWriting(bool writing) { writing_.store(writing); }

private:
    InterruptWatch& watch_;
    std::atomic<bool> writing_{false};
    std::atomic<bool> warned_{false};
};

// One cradle opened for a command, with its progress bar and Ctrl-C handling.
struct CommandSession {
    CommandSession(const CommonOptions& options, InterruptWatch& interrupts)
        : site(ChooseCradleId(options.cradle)), progress(!options.quiet),
          policy(interrupts, site.stopRequested(), progress) {
        OpenCradleSite(site);
    }

    TransferControl Control() {
        return {&site.stopRequested(), [this] { progress.Block(); }, {}};
    }

    // Reads the pager, both passes compared, into memory: a pager of either generation is
    // decoded into the settings. An identity that names no pager ends in NoPager with the
    // data read in memory.
    TransferOutcome Read(const std::string& step = "Reading") {
        progress.Begin(step, 2 * kReadPassBlocks);
        TransferOutcome outcome = ReadPagerMemory(site.link(), memory, Control());
        progress.End();
        if (outcome.identity) {
            DecodeImage(memory, *outcome.identity, settings);
        }
        return outcome;
    }

    CradleSite site;
    TransferProgress progress;
    InterruptPolicy policy;
    PagerImage memory{};
    PagerSettings settings;
};

std::string SeatOfMode(Generation mode) {
    return std::string(GenerationName(mode)) + " pager";
}

std::string SerialText(const PagerSettings& settings) {
    return PagerText(UnalignedSerialNumber(settings.serialNumber));
}

std::string SerialForMessage(const PagerSettings& settings) {
    const std::string serial = SerialText(settings);
    return serial.empty() ? "no serial number" : "serial " + serial;
}

std::filesystem::path BackupFolder(const std::optional<std::string>& chosen) {
    if (chosen) {
        return *chosen;
    }
    if (std::optional<std::filesystem::path> folder = DefaultBackupFolder()) {
        return *folder;
    }
    throw CradleCommandError(kExitBadInput,
                             "Neither XDG_STATE_HOME nor HOME is set: give the backup "
                             "folder with --backup-dir DIR.");
}

// The folder for the backup, made and checked before the pager is touched.
std::filesystem::path PreparedBackupFolder(const std::optional<std::string>& chosen) {
    const std::filesystem::path folder = BackupFolder(chosen);
    if (std::optional<std::string> problem = PrepareBackupFolder(folder)) {
        throw CradleCommandError(kExitBadInput, "Nothing was written: " + *problem +
                                                    ". Choose another folder with --backup-dir, "
                                                    "or write without a backup (--no-backup).");
    }
    return folder;
}

// The command that puts a backup back over everything a write covers, the serial number too.
// A backup of a pager that named no generation takes its identity from the write it undoes.
std::string RestoreCommand(const std::filesystem::path& backup, bool identified, Generation mode,
                           const std::string& cradle) {
    return "pager-cradle write " + backup.string() + " --serial" +
           (identified ? std::string()
                       : std::string(" --repair ") + (mode == Generation::V1 ? "v1" : "v2")) +
           " -c " + cradle;
}

std::string BlocksText(std::uint32_t written, std::uint32_t total) {
    return std::to_string(written) + " of " + std::to_string(total) + " blocks";
}

} // namespace

int ListCommand(bool json) {
    const std::vector<FoundCradle> cradles = FindCradles();
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    bool permissionMissing = false;
    for (const FoundCradle& cradle : cradles) {
        std::string state;
        std::string fix;
        if (cradle.accessDenied) {
            state = "no permission";
            fix = "install the udev rule (below)";
            permissionMissing = true;
        } else {
            CradleSite site(cradle.id);
            switch (site.Open()) {
            case CradleSite::Access::Open:
                state = SeatText(site.Identify());
                break;
            case CradleSite::Access::InUse:
                state = "in use";
                fix = "another program has it open: close the Pager Programmer window or the "
                      "other pager-cradle";
                break;
            case CradleSite::Access::Gone:
                state = "gone";
                fix = "it left while being listed: check the cable";
                break;
            }
        }
        if (json) {
            nlohmann::ordered_json entry = {
                {"id", cradle.id}, {"kind", cradle.kind}, {"state", state}};
            if (!fix.empty()) {
                entry["fix"] = fix;
            }
            list.push_back(entry);
        } else {
            std::printf("%-24s %-15s %s%s\n", cradle.id.c_str(), cradle.kind.c_str(), state.c_str(),
                        fix.empty() ? "" : (" (" + fix + ")").c_str());
        }
    }
    if (json) {
        std::cout << list.dump(2) << '\n';
    } else if (cradles.empty()) {
        std::fputs("No cradle found. Plug the cradle in (or start pager-cradle-sim for a virtual "
                   "one).\n",
                   stderr);
    }
    if (permissionMissing) {
        std::fputs(("\n" + CradleAccessFix()).c_str(), stderr);
    }
    return kExitDone;
}

int ReadCommand(const ReadOptions& options, InterruptWatch& interrupts) {
    CommandReport report("read", options.json);
    std::vector<std::string> outputs{options.output};
    if (options.settingsOutput) {
        outputs.push_back(*options.settingsOutput);
    }
    CheckOutputs(outputs);
    CommandSession session(options, interrupts);
    report.Set("cradle", session.site.id());
    const TransferOutcome outcome = session.Read();
    const Generation mode = outcome.identity.value_or(Generation::V2);
    switch (outcome.result) {
    case TransferResult::Done:
        break;
    case TransferResult::NoPager:
        if (options.force && !options.settingsOutput) {
            break;
        }
        return report.Fail(
            kExitPagerFailed,
            "No pager answers in cradle " + session.site.id() + ", so nothing was saved. " +
                outcome.details + " Seat the pager properly and try again" +
                (options.settingsOutput ? "." : ", or save what was read with --force."));
    case TransferResult::PassesDiffer:
        return report.Fail(kExitPagerFailed, "The pager read differently twice, so nothing was "
                                             "saved. " +
                                                 outcome.details +
                                                 " Reseat the pager and try again.");
    default:
        return report.Fail(ExitStatusOf(outcome),
                           TransferFailureText(outcome, "Nothing was saved."));
    }
    SaveImageOutput(options.output, session.memory);
    report.Set("output", options.output);
    const bool identified = outcome.ok();
    if (options.settingsOutput) {
        try {
            SaveTextOutput(*options.settingsOutput,
                           SettingsToJson(session.settings, mode).dump(2) + "\n");
        } catch (const CradleCommandError& error) {
            return report.Fail(error.status, "The image was saved into " + options.output +
                                                 ", but the settings were not: " + error.what());
        }
        report.Set("settingsOutput", *options.settingsOutput);
    }
    if (identified) {
        report.Set("pager", SeatOfMode(mode));
        report.Set("serialNumber", SerialText(session.settings));
        return report.Done("Read the " + SeatOfMode(mode) + " in " + session.site.id() + " (" +
                           SerialForMessage(session.settings) + ") into " + options.output + ".");
    }
    report.Set("pager", "no pager");
    return report.Done("Saved what cradle " + session.site.id() + " answered into " +
                       options.output + ", although it names no pager. " + outcome.details);
}

int WriteCommand(const WriteOptions& options, InterruptWatch& interrupts) {
    CommandReport report("write", options.json);
    PagerInput input = LoadPagerInput(options.input, options.mode, options.repair);
    // What the input alone refuses is refused before the pager is touched.
    if (!input.repairMode) {
        if (std::optional<std::string> refusal = CapcodeRefusalOf(input)) {
            return report.Fail(kExitPagerFailed,
                               "Nothing was written: in " + options.input + ", " + *refusal);
        }
    }
    std::optional<std::filesystem::path> folder;
    if (!options.noBackup) {
        folder = PreparedBackupFolder(options.backupDir);
    }
    CommandSession session(options, interrupts);
    report.Set("cradle", session.site.id());

    std::optional<Generation> pagerMode;
    if (!input.repairMode && (folder || !input.mode)) {
        // A pager of the other generation is turned away before a backup is made of it; the
        // write itself checks again.
        const CradleSite::Seat seat = session.site.Identify();
        if (seat == CradleSite::Seat::NoAnswer) {
            return report.Fail(kExitNoCradle, "Cradle " + session.site.id() +
                                                  " does not answer. Check the cable, then try "
                                                  "again. Nothing was written.");
        }
        pagerMode = GenerationOf(seat);
        if (input.mode && pagerMode && *pagerMode != *input.mode) {
            return report.Fail(kExitPagerFailed,
                               "Nothing was written: the pager in " + session.site.id() + " is a " +
                                   SeatOfMode(*pagerMode) + ", but " + options.input + " is for " +
                                   GenerationName(*input.mode) + " pagers.");
        }
    }

    std::optional<std::filesystem::path> backup;
    bool backupIdentified = false;
    if (folder) {
        const TransferOutcome read = session.Read("Backing up");
        if (read.result == TransferResult::Stopped) {
            return report.Fail(kExitInterrupted, "Stopped while backing up: nothing was written.");
        }
        if (!read.ok() && read.result != TransferResult::NoPager) {
            return report.Fail(ExitStatusOf(read),
                               "The pager could not be backed up, so nothing was written. " +
                                   TransferFailureText(read, "") +
                                   " To write without a backup, add --no-backup.");
        }
        backupIdentified = read.ok();
        if (backupIdentified) {
            pagerMode = read.identity;
        }
        const SavedBackup saved =
            SaveBackup(*folder, backupIdentified ? session.settings.serialNumber : std::string(),
                       session.memory);
        if (!saved.path) {
            return report.Fail(kExitBadInput, "The backup could not be saved, so nothing was "
                                              "written: " +
                                                  saved.error +
                                                  ". Choose another folder with --backup-dir.");
        }
        backup = saved.path;
        report.Set("backup", backup->string());
        std::fprintf(stderr, "Backup of the pager: %s\n", backup->c_str());
    }

    WriteJob job = BuildWriteJob(input, pagerMode, options.writeSerialNumber);
    if (!job.repair && pagerMode && *pagerMode != job.generation) {
        return report.Fail(kExitPagerFailed,
                           "Nothing was written: the pager in " + session.site.id() + " is a " +
                               SeatOfMode(*pagerMode) + ", but " + options.input + " is for " +
                               GenerationName(job.generation) + " pagers.");
    }
    const std::uint32_t blocks = WriteBlockCount(job.writeSerialNumber);
    session.policy.SetWriting(true);
    session.progress.Begin(job.repair ? "Repairing" : "Writing", blocks);
    // A repair writes whatever the pager's identity says; a write checks it first.
    const TransferOutcome written =
        job.repair
            ? WriteImage(session.site.link(), job.image, job.writeSerialNumber, session.Control())
            : IdentifyAndWrite(session.site.link(), job.image, job.generation,
                               job.writeSerialNumber, session.Control());
    session.progress.End();
    session.policy.SetWriting(false);
    report.Set("blocksWritten", written.blocksWritten);

    if (!written.ok()) {
        std::string state;
        if (written.result == TransferResult::OtherGeneration ||
            written.result == TransferResult::NoPager ||
            written.result == TransferResult::CapcodeRefused || written.blocksWritten == 0) {
            state = "Nothing was written.";
        } else {
            state = "The pager is partly written (" + BlocksText(written.blocksWritten, blocks) +
                    ")" +
                    (backup ? "; its previous contents are in " + backup->string() +
                                  " (write them back with: " +
                                  RestoreCommand(*backup, backupIdentified, job.generation,
                                                 session.site.id()) +
                                  ")."
                            : "; write it again.");
        }
        if (written.result == TransferResult::OtherGeneration) {
            return report.Fail(kExitPagerFailed, "Nothing was written: " + written.details + " " +
                                                     options.input + " is for " +
                                                     GenerationName(job.generation) + " pagers.");
        }
        if (written.result == TransferResult::Stopped) {
            return report.Fail(kExitInterrupted, "Stopped at once. " + state);
        }
        if (written.result == TransferResult::NoPager) {
            return report.Fail(ExitStatusOf(written),
                               TransferFailureText(written, state) +
                                   " If the pager is seated and still not recognised, its "
                                   "identity may be damaged: write it with --repair v1 or "
                                   "--repair v2, the generation of the pager.");
        }
        return report.Fail(ExitStatusOf(written), TransferFailureText(written, state));
    }
    if (options.noVerify) {
        report.Set("verified", false);
        return report.Done("Wrote " + options.input + " to the " + SeatOfMode(job.generation) +
                           " in " + session.site.id() + " (" + BlocksText(blocks, blocks) +
                           ", not read back).");
    }
    session.progress.Begin("Verifying", kReadPassBlocks);
    auto memory = std::make_unique<PagerImage>();
    const TransferOutcome verified = ReadBackAndCompare(
        session.site.link(), job.image, job.writeSerialNumber, *memory, session.Control());
    session.progress.End();
    report.Set("verified", verified.ok());
    if (!verified.ok()) {
        const std::string state = "The write itself went through (every block was echoed).";
        if (verified.result == TransferResult::Stopped) {
            return report.Fail(kExitInterrupted, "Stopped before the read-back ended. " + state);
        }
        return report.Fail(ExitStatusOf(verified), TransferFailureText(verified, state));
    }
    return report.Done("Wrote " + options.input + " to the " + SeatOfMode(job.generation) + " in " +
                       session.site.id() + " and read it back: it holds what was written.");
}

int VerifyCommand(const VerifyOptions& options, InterruptWatch& interrupts) {
    CommandReport report("verify", options.json);
    PagerInput input = LoadPagerInput(options.input, options.mode, std::nullopt);
    CommandSession session(options, interrupts);
    report.Set("cradle", session.site.id());
    const TransferOutcome outcome = session.Read();
    if (!outcome.ok()) {
        return report.Fail(ExitStatusOf(outcome), TransferFailureText(outcome, ""));
    }
    const Generation pagerMode = *outcome.identity;
    const std::vector<std::string> differences =
        PagerDifferences(input, session.memory, pagerMode, options.writeSerialNumber);
    report.Set("differences", differences);
    if (differences.empty()) {
        return report.Done("The " + SeatOfMode(pagerMode) + " in " + session.site.id() +
                           " holds what " + options.input + " says.");
    }
    // With --json standard output carries the object alone; the list is in it.
    for (const std::string& line : differences) {
        std::fprintf(options.json ? stderr : stdout, "%s\n", line.c_str());
    }
    return report.Fail(kExitPagerFailed, std::to_string(differences.size()) + " difference" +
                                             (differences.size() == 1 ? "" : "s") + " between " +
                                             options.input + " and the pager in " +
                                             session.site.id() + " (listed as " + options.input +
                                             " value -> pager value).");
}
