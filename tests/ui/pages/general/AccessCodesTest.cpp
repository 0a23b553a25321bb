#include "GeneralPageTestSupport.h"

#include <QDialog>
#include <QTest>
#include <QVBoxLayout>

namespace {

const MessageRequest kAdvancedCodeError{"Password error !", kGeneralCaption, MessageIcon::Stop,
                                        MessageButtons::Ok};
const MessageRequest kSerialCodeError{"Password error !", kGeneralCaption, MessageIcon::None,
                                      MessageButtons::Ok};

class AccessCodesTest : public GeneralPageTest {
protected:
    void TryAdvancedCode(const QString& code) {
        auto* password = Control<QLineEdit>(CInputCapcode::kPasswordEdit);
        password->clear();
        QTest::keyClicks(password, code);
        QTest::mouseClick(Button(CInputCapcode::kOkButton), Qt::LeftButton);
    }
    void TrySerialCode(std::optional<QString> answer) {
        dialogs->serialAnswers.push_back(std::move(answer));
        QTest::mouseClick(Button(CInputCapcode::kChangeSerialButton), Qt::LeftButton);
    }
    bool SerialControlsEnabled() {
        return Control<QLabel>(CInputCapcode::kSerialLabel)->isEnabled() &&
               Control<QLineEdit>(CInputCapcode::kSerialEdit)->isEnabled() &&
               Control<QCheckBox>(CInputCapcode::kSerialIncrementBox)->isEnabled();
    }
    TabLockState LockState() const { return context.state.tabLockState.load(); }
};

TEST_F(AccessCodesTest, AdvancedCodeMustMatchExactly) {
    for (const char* wrong :
         {"", "Techmod417", "techmod417 ", " techmod417", "techmod41", "techmod952"}) {
        SCOPED_TRACE(wrong);
        messages.clear();
        TryAdvancedCode(QLatin1String(wrong));
        EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{kAdvancedCodeError});
        EXPECT_EQ(LockState(), TabLockState::Locked);
    }
    messages.clear();
    TryAdvancedCode(QStringLiteral("techmod417"));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(LockState(), TabLockState::UnlockRequested);
    EXPECT_EQ(Control<QLineEdit>(CInputCapcode::kPasswordEdit)->text(),
              QStringLiteral("techmod417"))
        << "the code stays in the edit";
}

TEST_F(AccessCodesTest, CodeTypedAgainAfterUnlockingChangesNothing) {
    TryAdvancedCode(QStringLiteral("techmod417"));
    // What the main window's rebuild does when it sees the request.
    context.state.tabLockState = TabLockState::Unlocked;
    page->showPrivateColumn();

    TryAdvancedCode(QStringLiteral("techmod417"));
    EXPECT_EQ(LockState(), TabLockState::Unlocked) << "never back to a request";
    EXPECT_TRUE(messages.shown().empty());
    TryAdvancedCode(QStringLiteral("nope"));
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{kAdvancedCodeError});
    EXPECT_EQ(LockState(), TabLockState::Unlocked);
}

TEST_F(AccessCodesTest, EnterOnThePageReachesTheOkButtonOfTheEnclosingWindow) {
    QDialog window;
    auto* layout = new QVBoxLayout(&window);
    page->setParent(&window);
    layout->addWidget(page.get());
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    auto* password = Control<QLineEdit>(CInputCapcode::kPasswordEdit);
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("techmod41"));
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{kAdvancedCodeError});
    QTest::keyClicks(password, QStringLiteral("7"));
    QTest::keyClick(password, Qt::Key_Enter);
    EXPECT_EQ(LockState(), TabLockState::UnlockRequested);
    EXPECT_TRUE(window.isVisible()) << "the enclosing window stays open";
    EXPECT_EQ(messages.shown().size(), 1u);
    page->setParent(nullptr);
}

TEST_F(AccessCodesTest, SerialCodeUnlocksTheSerialControlsForGood) {
    EXPECT_FALSE(SerialControlsEnabled());

    TrySerialCode(std::nullopt); // "EXIT"
    EXPECT_TRUE(messages.shown().empty());
    TrySerialCode(QString()); // "OK" on an empty edit
    TrySerialCode(QStringLiteral("techmod417"));
    TrySerialCode(QStringLiteral("TECHMOD952"));
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>(3, kSerialCodeError));
    EXPECT_FALSE(SerialControlsEnabled());
    EXPECT_FALSE(context.state.serialWriteEnabled.load());

    messages.clear();
    TrySerialCode(QStringLiteral("techmod952"));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_TRUE(SerialControlsEnabled());
    EXPECT_TRUE(context.state.serialWriteEnabled.load());

    TrySerialCode(QStringLiteral("wrong"));
    EXPECT_EQ(messages.requests(), std::vector<MessageRequest>{kSerialCodeError});
    EXPECT_TRUE(SerialControlsEnabled()) << "a later wrong code takes nothing back";
    EXPECT_TRUE(context.state.serialWriteEnabled.load());
    EXPECT_EQ(dialogs->serialAsked, 6);
}

TEST_F(AccessCodesTest, SerialCodeBeforeTheAdvancedCodeLeavesTheTabsLocked) {
    TrySerialCode(QStringLiteral("techmod952"));
    EXPECT_TRUE(SerialControlsEnabled());
    EXPECT_EQ(LockState(), TabLockState::Locked);
    EXPECT_FALSE(PrivateBox(4)->isVisible());
}

} // namespace
