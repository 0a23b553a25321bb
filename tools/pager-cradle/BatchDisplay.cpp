#include "BatchDisplay.h"

#include "CommandReport.h"

#include "image/Generation.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr int kBarWidth = 20;

std::string Clock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string Minutes(double seconds) {
    const long whole = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

BatchDisplay::BatchDisplay(Style style, std::function<OrderCounts()> counts,
                           std::vector<std::string> cradles,
                           std::function<std::vector<std::pair<std::string, double>>()> rates)
    : style_(style), counts_(std::move(counts)), rates_(std::move(rates)),
      cradles_(std::move(cradles)), doneAtStart_(Counts().programmed) {
    for (const std::string& cradle : cradles_) {
        sites_[cradle].cradle = cradle;
    }
}

BatchDisplay::Style BatchDisplay::ChooseStyle(bool json, bool quiet) {
    if (json) {
        return Style::Json;
    }
    return !quiet && isatty(STDERR_FILENO) ? Style::Terminal : Style::Lines;
}

OrderCounts BatchDisplay::Counts() const {
    try {
        lastCounts_ = counts_();
    } catch (const LedgerUnavailable&) {
        // The sites say they wait for the ledger; the totals stay as last known.
    }
    return lastCounts_;
}

std::string BatchDisplay::SummaryText() const {
    const OrderCounts counts = Counts();
    const std::size_t left = counts.free + counts.claimed;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const std::size_t doneNow = counts.programmed - std::min(counts.programmed, doneAtStart_);
    const double perMinute = seconds > 0 ? doneNow * 60.0 / seconds : 0;
    std::string text = "done " + std::to_string(counts.programmed) + "/" +
                       std::to_string(counts.total) + "  failed " + std::to_string(failed_) +
                       "  left " + std::to_string(left);
    if (counts.held > 0) {
        text += "  held " + std::to_string(counts.held);
    }
    if (counts.refused > 0) {
        text += "  refused " + std::to_string(counts.refused);
    }
    char rate[64];
    std::snprintf(rate, sizeof rate, "  %.1f pagers/min", perMinute);
    text += rate;
    if (doneNow > 0 && left > 0) {
        text += "  " + Minutes(seconds / doneNow * left) + " left";
    }
    // Several stations on one order: each one's pace, from the ledger.
    std::vector<std::pair<std::string, double>> rates;
    if (rates_) {
        try {
            rates = rates_();
        } catch (const LedgerError&) {
        }
    }
    if (rates.size() > 1) {
        text += "  stations:";
        for (const auto& [station, perMinuteThere] : rates) {
            char part[96];
            std::snprintf(part, sizeof part, " %s %.1f/min", station.c_str(), perMinuteThere);
            text += part;
        }
    }
    return text;
}

std::string BatchDisplay::SiteLine(const SiteView& view) const {
    char line[200];
    std::string bar;
    if (view.blocks > 0) {
        const int filled =
            static_cast<int>(kBarWidth * static_cast<std::uint64_t>(view.blocksDone) / view.blocks);
        bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
              std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "]";
    }
    std::string pager;
    if (!view.serialNumber.empty()) {
        pager += "serial " + PagerText(view.serialNumber);
    }
    if (view.capcode) {
        pager +=
            (pager.empty() ? "" : "  ") + std::string("capcode ") + std::to_string(*view.capcode);
    }
    // Between rounds a site has not finished: it waits for the next pager and Enter.
    const char* activity = betweenRounds_ && view.activity == SiteActivity::Finished
                               ? "next round: seat a pager, press Enter"
                               : ActivityText(view.activity);
    std::snprintf(line, sizeof line, "%-22s %-22s %-22s %s", view.cradle.c_str(), activity,
                  bar.c_str(), pager.c_str());
    return line;
}

void BatchDisplay::ClearLive() {
    for (std::size_t line = 0; line < liveLines_; ++line) {
        std::fputs("\033[1A\r\033[K", stderr);
    }
    liveLines_ = 0;
}

void BatchDisplay::Redraw(bool force) {
    if (style_ != Style::Terminal) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && liveLines_ > 0 && now - drawnAt_ < kRedrawInterval) {
        return;
    }
    drawnAt_ = now;
    ClearLive();
    for (const std::string& cradle : cradles_) {
        std::fprintf(stderr, "%s\n", SiteLine(sites_.at(cradle)).c_str());
    }
    std::fprintf(stderr, "%s\n", SummaryText().c_str());
    liveLines_ = cradles_.size() + 1;
    std::fflush(stderr);
}

void BatchDisplay::Log(const std::string& line, const nlohmann::ordered_json& event) {
    switch (style_) {
    case Style::Json:
        PrintJsonLine(event);
        return;
    case Style::Lines:
        std::fprintf(stderr, "%s %s\n", Clock().c_str(), line.c_str());
        return;
    case Style::Terminal:
        ClearLive();
        std::fprintf(stderr, "%s %s\n", Clock().c_str(), line.c_str());
        Redraw(true);
        return;
    }
}

void BatchDisplay::SiteChanged(const SiteView& view) {
    std::lock_guard lock(mutex_);
    SiteView& known = sites_[view.cradle];
    const bool newActivity = known.activity != view.activity;
    known = view;
    if (newActivity && style_ != Style::Terminal && view.activity != SiteActivity::Finished) {
        std::string line = view.cradle + ": " + ActivityText(view.activity);
        if (view.activity == SiteActivity::Writing && !view.serialNumber.empty()) {
            line += " serial " + PagerText(view.serialNumber);
        }
        Log(line, {{"event", "site"},
                   {"cradle", view.cradle},
                   {"activity", ActivityText(view.activity)},
                   {"serialNumber", PagerText(view.serialNumber)}});
        return;
    }
    Redraw(newActivity);
}

void BatchDisplay::PagerEnded(const PagerRecord& record) {
    std::lock_guard lock(mutex_);
    std::string capcodes;
    for (const std::uint32_t capcode : record.capcodes) {
        capcodes += (capcodes.empty() ? "" : " ") + std::to_string(capcode);
    }
    failed_ += record.outcome == "failed" || record.outcome == "held";
    std::string line = record.cradle + ": pager " + std::to_string(record.assignment + 1) + " " +
                       record.outcome + " (" + GenerationName(record.mode) + ", serial " +
                       PagerText(record.serialNumber) + ", capcodes " + capcodes + ")";
    if (!record.reason.empty()) {
        line += ": " + record.reason;
    }
    Log(line, {{"event", "pager"},
               {"cradle", record.cradle},
               {"order", record.order},
               {"assignment", record.assignment + 1},
               {"outcome", record.outcome},
               {"generation", GenerationName(record.mode)},
               {"serialNumber", PagerText(record.serialNumber)},
               {"capcodes", record.capcodes},
               {"reason", record.reason}});
}

void BatchDisplay::Notice(const std::string& cradle, const std::string& text) {
    std::lock_guard lock(mutex_);
    Log(cradle + ": " + text, {{"event", "notice"}, {"cradle", cradle}, {"text", text}});
}

void BatchDisplay::Say(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (style_ == Style::Json) {
        PrintJsonLine({{"event", "message"}, {"text", text}});
        return;
    }
    ClearLive();
    std::fprintf(stderr, "%s\n", text.c_str());
    Redraw(true);
}

void BatchDisplay::Finish() {
    std::lock_guard lock(mutex_);
    const OrderCounts counts = Counts();
    betweenRounds_ = false;
    if (style_ == Style::Json) {
        PrintJsonLine({{"event", "summary"},
                       {"total", counts.total},
                       {"done", counts.programmed},
                       {"failed", failed_},
                       {"left", counts.free + counts.claimed},
                       {"held", counts.held},
                       {"refused", counts.refused}});
        return;
    }
    if (style_ == Style::Terminal) {
        Redraw(true);
        liveLines_ = 0;
        return;
    }
    std::fprintf(stderr, "%s %s\n", Clock().c_str(), SummaryText().c_str());
}

void BatchDisplay::BetweenRounds(bool waiting) {
    std::lock_guard lock(mutex_);
    betweenRounds_ = waiting;
    Redraw(true);
}

void BatchDisplay::LineTyped() {
    std::lock_guard lock(mutex_);
    // The Enter echoed on the terminal moved the cursor a line down, under the live lines.
    if (style_ == Style::Terminal && liveLines_ > 0) {
        ++liveLines_;
    }
}

void BatchDisplay::End(const std::string& outcome, int exitStatus, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (style_ == Style::Json) {
        PrintJsonLine({{"event", "end"},
                       {"outcome", outcome},
                       {"exitStatus", exitStatus},
                       {"message", message}});
    }
    if (!message.empty()) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}
