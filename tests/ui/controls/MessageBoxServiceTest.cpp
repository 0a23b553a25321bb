#include "ui/controls/MessageBoxService.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs inspect on the first message box that opens, then closes it with the button given.
void AnswerNextBox(const std::function<void(QMessageBox&)>& inspect,
                   QMessageBox::StandardButton press) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        inspect(*box);
        if (QAbstractButton* button = box->button(press)) {
            button->click();
        } else {
            box->reject();
        }
    });
    poll->start(5);
}

TEST(QtMessageBoxService, ShowsTheRequestAsGivenAndReportsTheButton) {
    struct Case {
        MessageRequest request;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        MessageAnswer answer;
    };
    const Case cases[] = {
        {{"Capcode must be between 8-2097151 !", "V2 Pager Programmer", MessageIcon::Stop,
          MessageButtons::Ok},
         QMessageBox::Critical,
         QMessageBox::Ok,
         QMessageBox::Ok,
         MessageAnswer::Ok},
        {{"USB error,Please reinsert the USB device ! ", "V2 Pager Programmer",
          MessageIcon::Information, MessageButtons::Ok},
         QMessageBox::Information,
         QMessageBox::Ok,
         QMessageBox::Ok,
         MessageAnswer::Ok},
        {{"V2 pager detected. Would you like to change to V2 programming screen? ",
          "Pager Programmer", MessageIcon::None, MessageButtons::OkCancel},
         QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Cancel,
         MessageAnswer::Cancel},
        {{"  <b>not bold</b>  ", "", MessageIcon::None, MessageButtons::OkCancel},
         QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Ok,
         MessageAnswer::Ok},
        // Details add the details area and nothing else.
        {{"  Write error !          ", "Pager Programmer", MessageIcon::Stop, MessageButtons::Ok,
          "Block at address 1056: byte 3 came back as 0x00, 0x41 was sent."},
         QMessageBox::Critical,
         QMessageBox::Ok,
         QMessageBox::Ok,
         MessageAnswer::Ok},
    };
    QtMessageBoxService service;
    QWidget owner;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.text);
        bool inspected = false;
        AnswerNextBox(
            [&](QMessageBox& box) {
                inspected = true;
                EXPECT_EQ(box.parentWidget(), &owner);
                EXPECT_EQ(box.windowTitle().toStdString(), c.request.caption);
                EXPECT_EQ(box.text().toStdString(), c.request.text);
                EXPECT_EQ(box.textFormat(), Qt::PlainText);
                EXPECT_EQ(box.icon(), c.icon);
                EXPECT_EQ(box.standardButtons(), c.buttons);
                EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()),
                          box.button(QMessageBox::Ok));
                EXPECT_EQ(static_cast<QAbstractButton*>(box.escapeButton()),
                          box.button(c.request.buttons == MessageButtons::Ok
                                         ? QMessageBox::Ok
                                         : QMessageBox::Cancel));
                EXPECT_EQ(box.detailedText().toStdString(), c.request.details);
            },
            c.press);
        EXPECT_EQ(service.Show(&owner, c.request), c.answer);
        EXPECT_TRUE(inspected);
    }
}

TEST(QtMessageBoxService, EscapeCancelsAQuestionAndAcknowledgesANotice) {
    QtMessageBoxService service;
    const MessageRequest question{"Continue?", "Pager Programmer", MessageIcon::None,
                                  MessageButtons::OkCancel};
    const MessageRequest notice{"Done", "Pager Programmer", MessageIcon::None, MessageButtons::Ok};
    for (const auto& [request, answer] :
         {std::pair{question, MessageAnswer::Cancel}, std::pair{notice, MessageAnswer::Ok}}) {
        AnswerNextBox([](QMessageBox& box) { box.close(); }, QMessageBox::NoButton);
        EXPECT_EQ(service.Show(nullptr, request), answer) << request.text;
    }
}

TEST(RecordingMessageBoxService, RecordsEveryBoxAndAnswersFromItsScript) {
    RecordingMessageBoxService service;
    QWidget owner;
    service.scriptAnswer(MessageAnswer::Cancel);
    const MessageRequest first{"one", "c", MessageIcon::Stop, MessageButtons::OkCancel};
    const MessageRequest second{"two", "c", MessageIcon::None, MessageButtons::Ok};
    EXPECT_EQ(service.Show(&owner, first), MessageAnswer::Cancel);
    EXPECT_EQ(service.Show(nullptr, second), MessageAnswer::Ok);
    ASSERT_EQ(service.shown().size(), 2u);
    EXPECT_EQ(service.shown()[0].owner, &owner);
    EXPECT_EQ(service.requests(), (std::vector<MessageRequest>{first, second}));
}

} // namespace
