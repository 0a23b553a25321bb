// Canned messages: sixteen slots per page, attribute bytes at 128 + m, texts at 1024 + 128m.
#include "AlertPagesTestSupport.h"

#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/CannedTextEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>

namespace {

std::size_t TextAddress(std::size_t m) {
    return 1024 + 128 * m;
}

class CannedMessagePageTest : public AlertPagesTest {
protected:
    QCheckBox* enable(CCanMessage& page, int s) {
        return Control<QCheckBox>(page, CCanMessage::kSlotIds[s].enable);
    }
    QCheckBox* append(CCanMessage& page, int s) {
        return Control<QCheckBox>(page, CCanMessage::kSlotIds[s].append);
    }
    QComboBox* list(CCanMessage& page, int s) {
        return Control<QComboBox>(page, CCanMessage::kSlotIds[s].list);
    }
    CannedTextEdit* text(CCanMessage& page, int s) {
        return Control<CannedTextEdit>(page, CCanMessage::kSlotIds[s].text);
    }
    // An image whose text of slot m is these bytes followed by fill.
    PagerImage imageWithText(std::size_t m, const std::string& bytes, std::uint8_t fill = 0) {
        PagerImage image = encodedImage();
        std::fill_n(image.begin() + TextAddress(m), 128, fill);
        std::copy(bytes.begin(), bytes.end(), image.begin() + TextAddress(m));
        return image;
    }
    // Types into an enabled slot's edit.
    void type(CCanMessage& page, int s, const QString& keys) {
        QTest::keyClick(enable(page, s), Qt::Key_Space);
        ASSERT_TRUE(text(page, s)->isEnabled());
        QTest::keyClicks(text(page, s), keys);
    }
};

TEST_F(CannedMessagePageTest, BeforeAnyDecodeEverySlotIsEmptyAndDisabled) {
    CCanMessage page(environment, 0);
    for (int s = 0; s < 16; ++s) {
        ASSERT_NE(enable(page, s), nullptr);
        EXPECT_FALSE(enable(page, s)->isChecked());
        EXPECT_FALSE(append(page, s)->isChecked());
        EXPECT_EQ(Items(list(page, s)),
                  QStringList({"System", "1", "2", "3", "4", "5", "6", "7", "8"}));
        EXPECT_EQ(list(page, s)->currentText(), "System");
        EXPECT_TRUE(text(page, s)->editText().isEmpty());
        EXPECT_FALSE(append(page, s)->isEnabled());
        EXPECT_FALSE(list(page, s)->isEnabled());
        EXPECT_FALSE(text(page, s)->isEnabled());
    }
    EXPECT_EQ(text(page, 6)->accessibleDescription(), "Tone C, capcode 2");
}

TEST_F(CannedMessagePageTest, HeadingsNameTheCapcodesOfTheInstance) {
    CCanMessage first(environment, 0);
    CCanMessage second(environment, 1);
    for (int column = 0; column < 4; ++column) {
        const int id = CCanMessage::kFirstHeading + column;
        EXPECT_EQ(Control<QLabel>(first, id)->text(), QString("Capcode %1").arg(column + 1));
        EXPECT_EQ(Control<QLabel>(second, id)->text(), QString("Capcode %1").arg(column + 5));
        Control<QLabel>(second, id)->setText("x");
    }
    second.loadFromSettings();
    EXPECT_EQ(Control<QLabel>(second, CCanMessage::kFirstHeading + 3)->text(), "Capcode 8");
    EXPECT_EQ(text(second, 15)->accessibleDescription(), "Tone D, capcode 8");
}

TEST_F(CannedMessagePageTest, AttributeBytesFromTheUsersChoices) {
    CCanMessage page(environment, 0);
    QTest::keyClick(enable(page, 0), Qt::Key_Space);
    EXPECT_TRUE(append(page, 0)->isEnabled());
    QTest::keyClick(append(page, 0), Qt::Key_Space);
    QTest::keyClick(enable(page, 5), Qt::Key_Space);
    Choose(list(page, 5), 3);
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[128], 0xC0);
    EXPECT_EQ(encoded[133], 0x83);
    EXPECT_EQ(encoded[129], 0x00);
}

TEST_F(CannedMessagePageTest, SecondPageEditsSlots16To31) {
    PagerImage image = imageWithText(31, "last");
    image[159] = 0xFF; // enabled, append, alert 15 (no list item)
    image[128] = 0x81;
    decode(image);
    CCanMessage first(environment, 0);
    CCanMessage second(environment, 1);
    EXPECT_TRUE(enable(second, 15)->isChecked());
    EXPECT_TRUE(append(second, 15)->isChecked());
    EXPECT_EQ(list(second, 15)->currentIndex(), -1);
    EXPECT_EQ(text(second, 15)->editText(), "last");
    EXPECT_FALSE(enable(second, 0)->isChecked());

    first.storeToSettings();
    const PagerImage encoded = storeAndEncode(second);
    EXPECT_EQ(encoded[159], 0xCF);
    EXPECT_EQ(encoded[128], 0x81);
    EXPECT_EQ(Bytes(encoded, 4992, 5), std::string("last\0", 5));
}

TEST_F(CannedMessagePageTest, ClearingEnableGreysTheSlotButKeepsItsValues) {
    PagerImage image = imageWithText(2, "keep me");
    image[130] = 0xC3;
    decode(image);
    CCanMessage page(environment, 0);
    ASSERT_TRUE(text(page, 2)->isEnabled());
    QTest::keyClick(enable(page, 2), Qt::Key_Space);
    EXPECT_FALSE(append(page, 2)->isEnabled());
    EXPECT_FALSE(list(page, 2)->isEnabled());
    EXPECT_FALSE(text(page, 2)->isEnabled());
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(encoded[130], 0x43);
    EXPECT_EQ(Bytes(encoded, TextAddress(2), 8), std::string("keep me\0", 8));
}

TEST_F(CannedMessagePageTest, TypedTextsAreLatin1WithCrLfLineBreaksAndAtMost127Bytes) {
    CCanMessage page(environment, 0);
    type(page, 0, QString(130, QChar('x')));
    type(page, 1, QString::fromUtf8("ab"));
    QTest::keyClick(text(page, 1), Qt::Key_Return);
    TypeText(text(page, 1), QString::fromUtf8("c\u0416\u20AC\u00E9d"));
    type(page, 2, QString(126, QChar('y')));
    QTest::keyClick(text(page, 2), Qt::Key_Return); // a line break needs two
    QTest::keyClicks(text(page, 2), "z");

    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), std::string(127, 'x') + '\0');
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 8), std::string("ab\r\nc\xE9"
                                                             "d\0",
                                                             8));
    EXPECT_EQ(Bytes(encoded, TextAddress(2), 128), std::string(126, 'y') + 'z' + '\0');
}

TEST_F(CannedMessagePageTest, PastedTextIsRefusedOutsideLatin1AndCutToTheRoomLeft) {
    CCanMessage page(environment, 0);
    type(page, 0, QString(121, QChar('p')));
    QApplication::clipboard()->setText(QString::fromUtf8("\u0416"));
    QTest::keyClick(text(page, 0), Qt::Key_V, Qt::ControlModifier);
    QApplication::clipboard()->setText(QString::fromLatin1("12\n3\r\n4\xA0"
                                                           "56"));
    QTest::keyClick(text(page, 0), Qt::Key_V, Qt::ControlModifier);
    type(page, 1, "");
    QTest::keyClick(text(page, 1), Qt::Key_V, Qt::ControlModifier);

    const PagerImage encoded = storeAndEncode(page);
    // Six bytes were left: the next line break would have needed two of the last one.
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128),
              std::string(121, 'p') + "12\r\n3" + std::string(2, '\0'));
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 12), std::string("12\r\n3\r\n4\xA0"
                                                              "56\0",
                                                              12));
}

TEST_F(CannedMessagePageTest, ImageTextsComeBackByteForByte) {
    // Every byte value but zero, lone CR and LF among them, and no terminator in 127 bytes.
    std::string all;
    for (int b = 1; b < 128; ++b) {
        all += static_cast<char>(b < 64 ? b : b + 128);
    }
    PagerImage image = imageWithText(0, all, 0x41);
    const std::string lone = "a\rb\nc\r\nd\n\re";
    std::copy(lone.begin(), lone.end(), image.begin() + TextAddress(1));
    std::fill_n(image.begin() + TextAddress(1) + lone.size(), 128 - lone.size(), 0);
    decode(image);
    CCanMessage page(environment, 0);
    EXPECT_EQ(text(page, 1)->editText().count(QChar::ParagraphSeparator), 5);

    PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), all + '\0');
    EXPECT_EQ(Bytes(encoded, TextAddress(1), lone.size() + 1), lone + '\0');

    // Once edited, every line break is CR LF and the text is held to 127 bytes; other bytes
    // keep their values.
    QTest::keyClick(enable(page, 0), Qt::Key_Space);
    QTest::keyClick(enable(page, 1), Qt::Key_Space);
    QTest::keyClick(text(page, 1), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(text(page, 1), "!");
    QTest::keyClick(text(page, 0), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(text(page, 0), Qt::Key_Backspace);
    encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 17), std::string("a\r\nb\r\nc\r\nd\r\n\r\ne!\0", 17));
    std::string widened = all.substr(0, 126);
    widened.replace(widened.find('\n'), 1, "\r\n");
    widened.replace(widened.find('\r', widened.find('\n')), 1, "\r\n");
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), widened.substr(0, 127) + '\0');
}

TEST_F(CannedMessagePageTest, EnterOutsideAMessageGoesNowhere) {
    struct KeyRecorder : QWidget {
        int keys = 0;
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    } parent;
    auto* page = new CCanMessage(environment, 0, &parent);
    QTest::keyClick(enable(*page, 4), Qt::Key_Return);
    QTest::keyClick(list(*page, 4), Qt::Key_Enter);
    QTest::keyClick(enable(*page, 4), Qt::Key_A);
    EXPECT_EQ(parent.keys, 1) << "only the A went up to the parent";
}

} // namespace
