#pragma once

#include "ui/controls/MessageBoxService.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <vector>

// Test double: records every box it is asked to show, with its owner, and answers from a
// script; when the script is empty it answers Ok, as a person pressing Enter would.
class RecordingMessageBoxService final : public MessageBoxService {
public:
    struct Shown {
        QPointer<QWidget> owner;
        MessageRequest request;
    };

    MessageAnswer Show(QWidget* owner, const MessageRequest& request) override {
        shown_.push_back(Shown{owner, request});
        if (answers_.empty()) {
            return MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void scriptAnswer(MessageAnswer answer) { answers_.push_back(answer); }

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<MessageRequest> requests() const {
        std::vector<MessageRequest> result;
        for (const Shown& entry : shown_) {
            result.push_back(entry.request);
        }
        return result;
    }
    void clear() {
        shown_.clear();
        answers_.clear();
    }

private:
    std::vector<Shown> shown_;
    std::deque<MessageAnswer> answers_;
};
