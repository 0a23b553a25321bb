#pragma once

#include "production/Batch.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// What a batch shows while it runs. On a terminal: a live line per site (cradle, activity,
// bar, serial number and first capcode) under the log of pagers, and a summary line (done,
// failed, left, held, pagers per minute, time left). Otherwise one line per event, or with --json
// one JSON object per line.
class BatchDisplay : public BatchListener {
public:
    enum class Style { Terminal, Lines, Json };

    // `counts` tells where the order stands, from the ledger.
    // `rates`: pagers per minute of each station of the order, when several share it.
    BatchDisplay(Style style, std::function<OrderCounts()> counts,
                 std::vector<std::string> cradles,
                 std::function<std::vector<std::pair<std::string, double>>()> rates = {});

    void SiteChanged(const SiteView& view) override;
    void PagerEnded(const PagerRecord& record) override;
    void Notice(const std::string& cradle, const std::string& text) override;
    // A message of the command itself, e.g. the question before the next round.
    void Say(const std::string& text);
    // The summary line, for the end of the batch; the live lines are left as they are.
    void Finish();
    // While the batch waits for Enter, the sites that ended their round say so.
    void BetweenRounds(bool waiting);
    // The user typed a line (Enter) below the live lines.
    void LineTyped();
    // The last word: the message on standard error and, with --json, the "end" event.
    void End(const std::string& outcome, int exitStatus, const std::string& message);

    // The terminal style when standard error is a terminal, else plain lines; JSON when asked.
    static Style ChooseStyle(bool json, bool quiet);

private:
    std::string SummaryText() const;
    OrderCounts Counts() const;
    std::string SiteLine(const SiteView& view) const;
    void Log(const std::string& line, const nlohmann::ordered_json& event);
    void Redraw(bool force);
    void ClearLive();

    const Style style_;
    const std::function<OrderCounts()> counts_;
    const std::function<std::vector<std::pair<std::string, double>>()> rates_;
    // The last counts the ledger gave, shown while it does not answer.
    mutable OrderCounts lastCounts_;
    const std::vector<std::string> cradles_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    const std::size_t doneAtStart_;
    mutable std::mutex mutex_;
    std::map<std::string, SiteView> sites_;
    std::size_t liveLines_ = 0;
    std::size_t failed_ = 0; // pagers that failed in this run
    bool betweenRounds_ = false;
    std::chrono::steady_clock::time_point drawnAt_{};
};
