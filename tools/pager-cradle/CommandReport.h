#pragma once

#include "programming/transfer/TransferOutcome.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

// What a command tells its user at the end: a message on standard error and, with --json, one
// JSON object with the outcome on standard output. Every way a command ends goes through one,
// so a script reading standard output always finds exactly one object.
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

// Text as the pager stores it (one byte per character, ISO-8859-1) in UTF-8, for the terminal,
// JSON and files alike.
std::string PagerText(std::string_view bytes);

// One JSON value on one line of standard output. A text that is not UTF-8 cannot end the
// program here: its bad bytes are replaced.
void PrintJsonLine(const nlohmann::ordered_json& value);

// A failed transfer in plain words: what happened, what to do, and the pager's state.
std::string TransferFailureText(const TransferOutcome& outcome, const std::string& pagerState);
