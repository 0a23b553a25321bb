#pragma once

#include "image/ImageCodec.h"
#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"
#include "ui/pages/GeneralPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

// Answers the serial-number dialog from a script (nothing = "EXIT") without opening a window.
class ScriptedServiceDialogs final : public ServiceDialogRunner {
public:
    std::deque<std::optional<QString>> serialAnswers;
    int serialAsked = 0;

    std::optional<QString> askSerialCode(QWidget*) override {
        ++serialAsked;
        if (serialAnswers.empty()) {
            return std::nullopt;
        }
        const bool ok = serialAnswers.front().has_value();
        const QString code = serialAnswers.front().value_or(QString());
        serialAnswers.pop_front();
        return ok ? std::optional<QString>(code) : std::nullopt;
    }
    void runRepair(QWidget*) override {}
};

// Readable failures: a message box as its text, caption, icon and buttons.
inline void PrintTo(const MessageRequest& request, std::ostream* out) {
    *out << '"' << request.text << "\" | \"" << request.caption << "\" | icon "
         << static_cast<int>(request.icon) << " | buttons " << static_cast<int>(request.buttons);
}

inline constexpr const char* kGeneralCaption = "V2 Pager Programmer";
inline constexpr const char* kRangeText = "Capcode must be between 8-2097151 !";

inline MessageRequest RangeError() {
    return {kRangeText, kGeneralCaption, MessageIcon::Stop, MessageButtons::Ok};
}
inline MessageRequest RangePlain() {
    return {kRangeText, kGeneralCaption, MessageIcon::None, MessageButtons::Ok};
}

inline MessageRequest RepairBusy() {
    return {"The pager is being read or written. Please wait until it has finished, then "
            "repair again.",
            "Pager Programmer", MessageIcon::Information, MessageButtons::Ok};
}

// Image addresses of the page's settings.
inline constexpr std::size_t kPrivateMaskByte = 36;
inline constexpr std::size_t kStartupTextStart = 55;
inline constexpr std::size_t kSerialStart = 256;
inline constexpr std::size_t kStepStart = 288;
inline constexpr std::size_t CapcodeEntry(std::size_t row) {
    return 164 + 4 * row;
}

// A General page on its own settings, with recorded message boxes and scripted dialogs.
class GeneralPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        page = std::make_unique<CInputCapcode>(environment);
        auto scripted = std::make_unique<ScriptedServiceDialogs>();
        dialogs = scripted.get();
        page->setServiceDialogRunner(std::move(scripted));
        page->show();
    }

    // The image as prepared, decoded into the settings and shown on the page.
    void LoadImage(const PagerImage& image) {
        DecodeImage(image, Generation::V2, context.settings);
        page->loadFromSettings();
    }
    // The page gathered into settings and encoded, as a write or a save does.
    PagerImage GatherImage() {
        page->storeToSettings();
        PagerImage image{};
        EncodeImage(context.settings, Generation::V2, std::nullopt, image);
        return image;
    }

    template <class T> T* Control(int id) {
        T* control = FindControl<T>(page.get(), id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    QLineEdit* CapcodeEdit(std::size_t row) {
        return Control<QLineEdit>(CInputCapcode::kCapcodeEdits[row]);
    }
    QLabel* Frame(std::size_t row) { return Control<QLabel>(CInputCapcode::kFrameStatics[row]); }
    QCheckBox* EnableBox(std::size_t row) {
        return Control<QCheckBox>(CInputCapcode::kEnableBoxes[row]);
    }
    QCheckBox* PrivateBox(std::size_t row) {
        return Control<QCheckBox>(CInputCapcode::kPrivateBoxes[row]);
    }
    QComboBox* StepList(std::size_t row) {
        return Control<QComboBox>(CInputCapcode::kStepLists[row]);
    }
    QPushButton* Button(int id) { return Control<QPushButton>(id); }

    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
    std::unique_ptr<CInputCapcode> page;
    ScriptedServiceDialogs* dialogs = nullptr;
};
