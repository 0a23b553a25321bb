#include "link/sim/CradleFaults.h"

namespace {

struct NamedFault {
    CradleFault fault;
    std::string_view name;
};

constexpr NamedFault kFaultNames[] = {
    {CradleFault::None, "none"},
    {CradleFault::RequestRejected, "request-rejected"},
    {CradleFault::ReplyError, "reply-error"},
    {CradleFault::ShortReply, "short-reply"},
    {CradleFault::NoReply, "no-reply"},
    {CradleFault::LateReply, "late-reply"},
    {CradleFault::CorruptReplyByte, "corrupt-reply-byte"},
    {CradleFault::Unplug, "unplug"},
};

} // namespace

std::string_view CradleFaultName(CradleFault fault) {
    for (const NamedFault& named : kFaultNames) {
        if (named.fault == fault)
            return named.name;
    }
    return "unknown";
}

std::optional<CradleFault> CradleFaultFromName(std::string_view name) {
    for (const NamedFault& named : kFaultNames) {
        if (named.name == name)
            return named.fault;
    }
    return std::nullopt;
}
