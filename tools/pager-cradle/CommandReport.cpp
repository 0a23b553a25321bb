#include "CommandReport.h"

#include "image/SettingsJson.h"

#include <cstdio>
#include <iostream>

CommandReport::CommandReport(const std::string& command, bool json) : json_(json) {
    object_["command"] = command;
}

int CommandReport::Done(const std::string& message) {
    return Finish(true, 0, message);
}

int CommandReport::Fail(int exitStatus, const std::string& message) {
    return Finish(false, exitStatus, message);
}

int CommandReport::Finish(bool done, int exitStatus, const std::string& message) {
    std::fprintf(stderr, "%s%s\n", done ? "" : "pager-cradle: ", message.c_str());
    if (json_) {
        object_["outcome"] = done ? "done" : "failed";
        object_["exitStatus"] = exitStatus;
        object_["message"] = message;
        PrintJsonLine(object_);
    }
    return exitStatus;
}

std::string PagerText(std::string_view bytes) {
    return Latin1ToUtf8(bytes);
}

void PrintJsonLine(const nlohmann::ordered_json& value) {
    std::cout << value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
}

std::string TransferFailureText(const TransferOutcome& outcome, const std::string& pagerState) {
    const std::string& details = outcome.details;
    std::string text;
    switch (outcome.result) {
    case TransferResult::Done:
        return pagerState;
    case TransferResult::Stopped:
        text = "Stopped.";
        break;
    case TransferResult::LinkFailed:
        text = "The link to the cradle failed. " + details +
               " Check the cable and that the pager sits in the cradle, then run the command "
               "again.";
        break;
    case TransferResult::PassesDiffer:
        text = "The pager read differently twice. " + details + " Reseat the pager and try again.";
        break;
    case TransferResult::NoPager:
        text = "No pager answers in the cradle. " + details +
               " Seat the pager properly and try "
               "again.";
        break;
    case TransferResult::OtherGeneration:
    case TransferResult::CapcodeRefused:
        text = details;
        break;
    case TransferResult::BlockMismatch:
        text = "The pager did not take a block. " + details;
        break;
    case TransferResult::FinalCheckFailed:
        text = "After the last block the pager did not answer as a pager. " + details;
        break;
    case TransferResult::ReadBackDiffers:
        text = details + " Write it again; if this happens again, the pager's memory may be "
                         "faulty.";
        break;
    }
    return pagerState.empty() ? text : text + " " + pagerState;
}
