#pragma once

#include "programming/TransferOutcome.h"

#include <nlohmann/json.hpp>

#include <string>

// What a command tells its user at the end: a message on standard error and, with --json, one
// JSON object with the outcome on standard output.
class CommandReport {
public:
    CommandReport(const std::string& command, bool json);

    template <class Value> void Set(const std::string& key, const Value& value) {
        object_[key] = value;
    }
    // Both return the exit status to end with.
    int Done(const std::string& message);
    int Fail(int exitStatus, const std::string& message);

private:
    int Finish(bool done, int exitStatus, const std::string& message);

    const bool json_;
    nlohmann::ordered_json object_;
};

// A failed transfer in plain words: what happened, what to do, and the pager's state.
std::string TransferFailureText(const TransferOutcome& outcome, const std::string& pagerState);
