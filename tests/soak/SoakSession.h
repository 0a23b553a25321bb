#pragma once

#include "../programming/ProgrammingTestSupport.h"

#include "link/sim/CradleFaults.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

// What a soak session puts in the link's way.
enum class SoakFault {
    None,
    Unplug,
    ShortReply,
    RequestStatus, // the request is refused with a bad status
    ReplyStatus,   // the reply comes with a bad status
    NoReply,
    LateReply, // after the timeout
    CorruptEcho,
    FlakyByte,
    Latency, // every reply late, but within the timeout
};
inline constexpr int kSoakFaultKinds = 10;
std::string SoakFaultName(SoakFault fault);

enum class SoakOutcome {
    ReadOk,
    ReadModeSwitch,
    ReadError,
    WriteOk,
    WriteBlockError,
    WriteFinalError,
    UsbError,
    Other,
};
std::string SoakOutcomeName(SoakOutcome outcome);

// A link failure in the write's final identity check is reported twice: the USB error, then
// the write error of the step that failed.
bool IsFinalCheckLinkFailure(const std::vector<std::string>& messages);

// Ends the program when a worker runs longer than the limit: a hang cannot be unwound, since
// the hung worker still uses everything the session set up.
class HangWatchdog {
public:
    explicit HangWatchdog(std::chrono::seconds limit);
    ~HangWatchdog();
    HangWatchdog(const HangWatchdog&) = delete;
    HangWatchdog& operator=(const HangWatchdog&) = delete;

    void Arm(std::string what);
    void Disarm();

private:
    void Watch();

    const std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::string what_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::thread thread_; // last, so that it starts after everything it uses
};

// Runs read and write sessions one after the other against one simulated cradle through the
// real USB layer, channel, protocol and worker threads, and checks after each session what
// must hold whatever went wrong.
class SoakRunner {
public:
    explicit SoakRunner(std::uint64_t seed);

    // Returns the broken rules, empty when the session behaved.
    std::vector<std::string> RunSession();

    std::map<SoakFault, int> faults;
    std::map<SoakOutcome, int> outcomes;
    int reads = 0;
    int writes = 0;

private:
    struct Plan {
        bool write = false;
        SoakFault fault = SoakFault::None;
        std::uint64_t atExchange = 0;
    };

    // Also gives a write its settings, which decide how many exchanges it makes.
    Plan DrawPlan();
    void ArmFault(const Plan& plan);
    void PrepareWrite();
    // Runs the worker thread and waits for it; false when it did not start.
    bool RunWorker(bool write, RecordingHost& host);
    SoakOutcome Classify(const Plan& plan, const RecordingHost& host) const;
    void Check(const Plan& plan, const RecordingHost& host, const PagerImage& imageBefore,
               const PagerImage& memoryBefore, SoakOutcome outcome,
               std::vector<std::string>& broken);
    bool Reconnect();

    std::mt19937_64 random_;
    ProgrammingRig rig_;
    HangWatchdog watchdog_;
};
