#include "link/sim/CradleSimulator.h"

#include <algorithm>
#include <span>
#include <utility>

namespace {

constexpr std::uint8_t kCommandRead = 'R';
constexpr std::uint8_t kCommandWrite = 'W';

} // namespace

CradleSimulator::CradleSimulator(const PagerImage& memory) : memory_(memory) {}

void CradleSimulator::SetFaults(const CradleFaultPlan& plan) {
    std::lock_guard lock(mutex_);
    plan_ = plan;
    random_.seed(plan_.random ? plan_.random->seed : 0);
}

void CradleSimulator::InjectAt(std::uint64_t exchange, CradleFault fault) {
    std::lock_guard lock(mutex_);
    plan_.atExchange[exchange] = fault;
}

CradleFault CradleSimulator::FaultFor(std::uint64_t exchange) {
    CradleFault fault = CradleFault::None;
    if (plan_.random && plan_.random->perMillion > 0) {
        // Two draws on every exchange, so the sequence depends only on the seed.
        const bool hit = random_() % 1'000'000 < plan_.random->perMillion;
        const std::span<const CradleFault> kinds =
            plan_.random->kinds.empty() ? std::span<const CradleFault>(kLinkFailures)
                                        : std::span<const CradleFault>(plan_.random->kinds);
        const CradleFault drawn = kinds[random_() % kinds.size()];
        if (hit)
            fault = drawn;
    }
    if (const auto chosen = plan_.atExchange.find(exchange); chosen != plan_.atExchange.end())
        fault = chosen->second;
    return fault;
}

CradleExchange CradleSimulator::HandleRequest(const std::uint8_t* data, std::uint32_t length) {
    std::lock_guard lock(mutex_);
    AdvanceStream();
    CradleExchange exchange;
    exchange.number = exchanges_;
    if (data != nullptr && length >= kFrameHeaderSize) {
        exchange.command = data[0];
        exchange.address = static_cast<std::uint32_t>(data[1] << 8 | data[2]);
    }
    if (present_ && plan_.unplugAfter && exchanges_ >= *plan_.unplugAfter)
        Vanish();
    if (!present_) {
        exchange.fault = CradleFault::Unplug;
        exchange.requestStatus = usb_status::kWriteError;
        return exchange;
    }

    ++exchanges_;
    exchange.fault = FaultFor(exchange.number);
    switch (exchange.fault) {
    case CradleFault::RequestRejected:
        exchange.requestStatus = usb_status::kWriteError;
        return exchange;
    case CradleFault::Unplug:
        exchange.accepted = length;
        Vanish();
        return exchange;
    default:
        break;
    }
    exchange.accepted = length;
    // The firmware answers only whole frames; anything else waits for more bytes forever.
    if (data == nullptr || length != kFrameSize || exchange.fault == CradleFault::NoReply) {
        NoteRequest(exchange);
        return exchange;
    }

    CradleReply reply;
    reply.delay = plan_.replyDelay;
    AnswerFrame(data, exchange, reply);
    NoteRequest(exchange);
    switch (exchange.fault) {
    case CradleFault::ReplyError:
        reply.status = usb_status::kReadError;
        reply.length = 0;
        break;
    case CradleFault::ShortReply:
        reply.length = kShortReplyLength;
        break;
    case CradleFault::LateReply:
        reply.delay = plan_.lateReplyDelay;
        break;
    case CradleFault::CorruptReplyByte:
        reply.bytes[kFrameSize - 1] ^= 0x01;
        break;
    default:
        break;
    }
    exchange.reply = reply;
    return exchange;
}

void CradleSimulator::AnswerFrame(const std::uint8_t* request, CradleExchange& exchange,
                                  CradleReply& reply) {
    const std::uint32_t address = exchange.address;
    const bool inRange = address + kBlockSize <= memory_.size();
    const bool known = exchange.command == kCommandRead || exchange.command == kCommandWrite;
    const bool accepted = known && inRange && request[3] == 1;

    // The reply header echoes the request; a refused frame gets block count 0 and no data.
    std::copy_n(request, kFrameHeaderSize, reply.bytes.begin());
    if (!accepted)
        reply.bytes[3] = 0;
    if (plan_.replyHeader)
        std::copy(plan_.replyHeader->begin(), plan_.replyHeader->end(), reply.bytes.begin());
    reply.length = kFrameSize;
    if (!accepted)
        return;

    std::uint8_t* data = reply.bytes.data() + kFrameHeaderSize;
    if (exchange.command == kCommandWrite && !pagerSeated_) {
        // The empty cradle echoes what it was sent, but nothing keeps it.
        std::copy_n(request + kFrameHeaderSize, kBlockSize, data);
        return;
    }
    if (exchange.command == kCommandWrite) {
        std::copy_n(request + kFrameHeaderSize, kBlockSize, memory_.begin() + address);
        exchange.memoryChanged = true;
    }
    std::copy_n(memory_.begin() + address, kBlockSize, data);
    if (exchange.command == kCommandRead && plan_.flakyAddress && *plan_.flakyAddress >= address &&
        *plan_.flakyAddress < address + kBlockSize) {
        if (++flakyReads_ % 2 == 0)
            data[*plan_.flakyAddress - address] ^= 0xFF;
    }
}

bool CradleSimulator::IsPresent() const {
    std::lock_guard lock(mutex_);
    return present_;
}

std::uint64_t CradleSimulator::plugGeneration() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void CradleSimulator::Unplug() {
    std::lock_guard lock(mutex_);
    AdvanceStream();
    Vanish();
}

void CradleSimulator::Vanish() {
    if (!present_)
        return;
    present_ = false;
    if (clock_)
        unpluggedAt_ = clock_->Now();
}

void CradleSimulator::Plug() {
    std::lock_guard lock(mutex_);
    if (!present_) {
        ++generation_;
        if (clock_)
            unpluggedFor_ += clock_->Now() - unpluggedAt_;
    }
    present_ = true;
    plan_.unplugAfter.reset();
}

PagerImage CradleSimulator::Memory() const {
    std::lock_guard lock(mutex_);
    return memory_;
}

void CradleSimulator::SetMemory(const PagerImage& memory) {
    std::lock_guard lock(mutex_);
    memory_ = memory;
}

std::uint64_t CradleSimulator::exchangeCount() const {
    std::lock_guard lock(mutex_);
    return exchanges_;
}

void CradleSimulator::StartStream(const PagerStreamPlan& plan, std::shared_ptr<LinkClock> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
    unpluggedFor_ = {};
    unpluggedAt_ = clock_->Now();
    stream_.emplace(plan, StreamTime());
    events_.clear();
    pagerSeated_ = stream_->seated() != 0;
    memory_ = MakeFactoryPager(pagerSeated_ ? plan.kind : FactoryPager::None);
    if (pagerSeated_)
        events_.push_back({PagerEventKind::Seated, stream_->seated(), memory_});
}

LinkClock::Duration CradleSimulator::StreamTime() const {
    // The stream's clock stops while the cradle is unplugged: a cable pulled out does not
    // take the pager away.
    const LinkClock::Duration now = present_ ? clock_->Now() : unpluggedAt_;
    return now - unpluggedFor_;
}

void CradleSimulator::AdvanceStream() {
    if (!stream_)
        return;
    for (const PagerStream::Change& change : stream_->AdvanceTo(StreamTime())) {
        if (change.kind == PagerEventKind::Removed) {
            events_.push_back({PagerEventKind::Removed, change.pager, memory_});
            memory_ = MakeFactoryPager(FactoryPager::None);
            pagerSeated_ = false;
        } else {
            memory_ = MakeFactoryPager(stream_->plan().kind);
            pagerSeated_ = true;
            events_.push_back({PagerEventKind::Seated, change.pager, memory_});
        }
    }
}

void CradleSimulator::NoteRequest(const CradleExchange& exchange) {
    if (!stream_)
        return;
    stream_->NoteRequest(StreamTime(), exchange.command, exchange.address, exchange.memoryChanged);
    if (!exchange.memoryChanged)
        return;
    const std::uint32_t pager = stream_->seated();
    if (!events_.empty() && events_.back().kind == PagerEventKind::Written &&
        events_.back().pager == pager) {
        events_.back().memory = memory_;
        return;
    }
    events_.push_back({PagerEventKind::Written, pager, memory_});
}

std::vector<PagerEvent> CradleSimulator::TakePagerEvents() {
    std::lock_guard lock(mutex_);
    AdvanceStream();
    return std::exchange(events_, {});
}

std::uint32_t CradleSimulator::seatedPager() const {
    std::lock_guard lock(mutex_);
    return stream_ ? stream_->seated() : 1;
}
