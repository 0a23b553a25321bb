#pragma once

#include "link/MessageRequest.h"

// What the cradle link needs from the window when a transfer fails.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    // Enables or disables the Read and Write buttons together.
    virtual void EnableTransferButtons(bool enabled) = 0;
    virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;
};

// A link host that tells nobody, for callers that word their own report of a failure.
class SilentLinkHost : public LinkHost {
public:
    void EnableTransferButtons(bool) override {}
    MessageAnswer ShowMessage(const MessageRequest&) override { return MessageAnswer::Ok; }
};
