#pragma once

// The cradle firmware and the pager in it, without any transport. A transport (the in-process
// backend, the virtual-cradle socket, a umockdev ioctl handler) hands each request frame the
// host writes to HandleRequest and delivers the reply it returns to the host's next read.
//
// Building a simulator with faults:
//
//     auto cradle = std::make_shared<CradleSimulator>(MakeFactoryPager(FactoryPager::V1));
//     CradleFaultPlan plan;
//     plan.atExchange[5] = CradleFault::ShortReply;    // 6th exchange: 35 bytes, status 0
//     plan.atExchange[9] = CradleFault::RequestRejected;
//     plan.flakyAddress = 300;                          // pass A and pass B disagree
//     plan.replyDelay = std::chrono::milliseconds(1);  // virtual unless the clock is real
//     cradle->SetFaults(plan);
//
//     // "fail at exchange k" sweeps: a fresh cradle per k, or count from where you are:
//     cradle->InjectAt(cradle->exchangeCount() + k, CradleFault::NoReply);
//
// Then put it behind an InProcessCradleBackend (AddCradle) and a UsbDeviceLayer
// (MakeLayerOver) and open it with CC8051f320Usb as usual. Unplug() and Plug() model pulling
// the cradle out and putting it back; a handle opened before Unplug stays dead. Memory() and
// SetMemory() give the test the pager's memory. All members are thread-safe.
//
// A stream of pagers instead of one (see PagerStream): fresh pagers are seated and taken out
// on the given clock, which stands still while the cradle is unplugged; the test or the
// simulator program collects what happened with TakePagerEvents:
//
//     cradle->StartStream({.pagers = 3, .kind = FactoryPager::V1}, clock);

#include "image/PagerImage.h"
#include "link/TransferState.h"
#include "link/UsbXpressLibrary.h"
#include "link/sim/CradleFaults.h"
#include "link/sim/FactoryPagers.h"
#include "link/sim/LinkClock.h"
#include "link/sim/PagerStream.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

// A reply frame on its way to the host.
struct CradleReply {
    UsbStatus status = usb_status::kSuccess; // non-zero: the host's read fails with it, no bytes
    Frame bytes{};
    std::uint32_t length = 0;           // bytes of `bytes` actually sent
    std::chrono::microseconds delay{0}; // available this long after the request
};

// What one request frame led to.
struct CradleExchange {
    std::uint64_t number = 0;
    CradleFault fault = CradleFault::None;
    UsbStatus requestStatus = usb_status::kSuccess; // what the host's write returns
    std::uint32_t accepted = 0;                     // bytes the host's write moved
    std::optional<CradleReply> reply;               // none: the host's read times out
    std::uint8_t command = 0;
    std::uint32_t address = 0;
    bool memoryChanged = false; // a 'W' stored its block
};

class CradleSimulator {
public:
    explicit CradleSimulator(const PagerImage& memory = MakeFactoryPager(FactoryPager::V2));

    // Replaces the plan; the random draw restarts from the plan's seed.
    void SetFaults(const CradleFaultPlan& plan);
    void InjectAt(std::uint64_t exchange, CradleFault fault);

    // One request frame from the host. While the cradle is unplugged nothing is counted and
    // the write fails.
    CradleExchange HandleRequest(const std::uint8_t* data, std::uint32_t length);

    bool IsPresent() const;
    // Changes every time the cradle is plugged in again, so old handles can tell.
    std::uint64_t plugGeneration() const;
    void Unplug();
    // Also disarms unplugAfter, so a re-plugged cradle keeps working.
    void Plug();

    PagerImage Memory() const;
    void SetMemory(const PagerImage& memory);
    std::uint64_t exchangeCount() const;

    // Replaces the pager with a stream of fresh ones; the first is seated now. While no pager
    // is seated every block reads 0xFF and a write is echoed without being kept.
    void StartStream(const PagerStreamPlan& plan, std::shared_ptr<LinkClock> clock);
    // What happened to the stream's pagers since the last call, oldest first. The writes to
    // one pager between two calls come as one event with the latest memory.
    std::vector<PagerEvent> TakePagerEvents();
    // The stream's pager in the cradle, 0 while it is empty; 1 without a stream.
    std::uint32_t seatedPager() const;

    static constexpr std::uint32_t kShortReplyLength = kFrameSize - 1;

private:
    CradleFault FaultFor(std::uint64_t exchange);
    void AnswerFrame(const std::uint8_t* request, CradleExchange& exchange, CradleReply& reply);
    void Vanish();
    LinkClock::Duration StreamTime() const;
    void AdvanceStream();
    void NoteRequest(const CradleExchange& exchange);

    mutable std::mutex mutex_;
    PagerImage memory_;
    CradleFaultPlan plan_;
    std::mt19937_64 random_;
    std::uint64_t exchanges_ = 0;
    std::uint64_t flakyReads_ = 0;
    bool present_ = true;
    std::uint64_t generation_ = 0;

    std::shared_ptr<LinkClock> clock_;
    std::optional<PagerStream> stream_;
    bool pagerSeated_ = true;
    std::vector<PagerEvent> events_;
    LinkClock::Duration unpluggedFor_{}; // total time the cradle was away
    LinkClock::Duration unpluggedAt_{};
};
