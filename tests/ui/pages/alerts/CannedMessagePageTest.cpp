// Canned messages: sixteen slots per page, attribute bytes at 128 + m, texts at 1024 + 128m.
#include "AlertPagesTestSupport.h"

#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/CannedTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>

namespace {

// count times c, then tail; built in place, since GCC 12 at -O2 warns wrongly about + on a
// temporary std::string.
std::string Repeated(std::size_t count, char c, std::string_view tail) {
    std::string text(count, c);
    text.append(tail);
    return text;
}

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
    void setText(PagerImage& image, std::size_t m, const std::string& bytes, char fill = 0) {
        std::fill_n(image.begin() + TextAddress(m), 128, fill);
        std::copy(bytes.begin(), bytes.end(), image.begin() + TextAddress(m));
    }
    // Ticks the slot's "Enable" box, then types one key press per character (\r: Enter).
    void type(CCanMessage& page, int s, const QString& characters) {
        QTest::keyClick(enable(page, s), Qt::Key_Space);
        for (const QChar c : characters) {
            if (c == QLatin1Char('\r')) {
                QTest::keyClick(text(page, s), Qt::Key_Return);
            } else {
                QTest::sendKeyEvent(QTest::Click, text(page, s), Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        }
    }
};

TEST_F(CannedMessagePageTest, SlotsStartEmptyAndDisabledAndEncodeTheUsersChoices) {
    CCanMessage page(environment, 0);
    for (int s = 0; s < 16; ++s) {
        EXPECT_FALSE(enable(page, s)->isChecked() || append(page, s)->isChecked());
        EXPECT_EQ(list(page, s)->currentText(), "System");
        EXPECT_TRUE(text(page, s)->editText().isEmpty());
        EXPECT_FALSE(append(page, s)->isEnabled() || list(page, s)->isEnabled() ||
                     text(page, s)->isEnabled());
    }
    EXPECT_EQ(Items(list(page, 0)),
              QStringList({"System", "1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(text(page, 6)->accessibleDescription(), "Tone C, capcode 2");

    QTest::keyClick(enable(page, 0), Qt::Key_Space);
    ASSERT_TRUE(append(page, 0)->isEnabled());
    QTest::keyClick(append(page, 0), Qt::Key_Space);
    QTest::keyClick(enable(page, 5), Qt::Key_Space);
    Choose(list(page, 5), 3);
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, 128, 6), std::string("\xC0\0\0\0\0\x83", 6));
}

TEST_F(CannedMessagePageTest, SecondPageEditsCapcodes5To8AndClearedEnableKeepsTheValues) {
    PagerImage image = encodedImage();
    setText(image, 31, "last");
    image[159] = 0xFF; // enabled, append, alert 15 (no list item)
    image[128] = 0x81;
    decode(image);
    CCanMessage first(environment, 0);
    CCanMessage second(environment, 1);
    EXPECT_TRUE(append(second, 15)->isChecked());
    EXPECT_EQ(list(second, 15)->currentIndex(), -1);
    EXPECT_EQ(text(second, 15)->accessibleDescription(), "Tone D, capcode 8");
    for (int column = 0; column < 4; ++column) {
        const int id = CCanMessage::kFirstHeading + column;
        EXPECT_EQ(Control<QLabel>(first, id)->text(), QString("Capcode %1").arg(column + 1));
        Control<QLabel>(second, id)->setText("x");
        second.loadFromSettings();
        EXPECT_EQ(Control<QLabel>(second, id)->text(), QString("Capcode %1").arg(column + 5));
    }

    QTest::keyClick(enable(first, 0), Qt::Key_Space);
    EXPECT_FALSE(list(first, 0)->isEnabled() || text(first, 0)->isEnabled());
    first.storeToSettings();
    const PagerImage encoded = storeAndEncode(second);
    EXPECT_EQ(encoded[159], 0xCF);
    EXPECT_EQ(encoded[128], 0x01);
    EXPECT_EQ(Bytes(encoded, 4992, 5), std::string("last\0", 5));
}

TEST_F(CannedMessagePageTest, TypedTextsAreLatin1WithCrLfLineBreaksAndAtMost127Bytes) {
    CCanMessage page(environment, 0);
    type(page, 0, QString(130, QChar('x')));
    type(page, 1, QString::fromUtf8("ab\rc\u0416\u20AC\u00E9d"));
    type(page, 2, QString(126, QChar('y')) + "\rz"); // a line break needs two bytes
    // Assistive technology sets text past the typing filters; the store still holds it.
    QAccessible::queryAccessibleInterface(text(page, 3))
        ->editableTextInterface()
        ->insertText(0, QString::fromUtf8("\u0416") + QString(130, QChar('w')));
    const PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), Repeated(127, 'x', {"\0", 1}));
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 8), std::string("ab\r\nc\351d\0", 8));
    EXPECT_EQ(Bytes(encoded, TextAddress(2), 128), Repeated(126, 'y', {"z\0", 2}));
    EXPECT_EQ(Bytes(encoded, TextAddress(3), 128), "?" + Repeated(126, 'w', {"\0", 1}));
}

TEST_F(CannedMessagePageTest, PasteIsRefusedOutsideLatin1AndCutToTheRoomLeft) {
    CCanMessage page(environment, 0);
    type(page, 0, QString(121, QChar('p')));
    QApplication::clipboard()->setText(QString::fromUtf8("\u0416"));
    QTest::keyClick(text(page, 0), Qt::Key_V, Qt::ControlModifier);
    QApplication::clipboard()->setText(QString::fromLatin1("12\n3\r\n4\240 56"));
    QTest::keyClick(text(page, 0), Qt::Key_V, Qt::ControlModifier);
    type(page, 1, "");
    QTest::keyClick(text(page, 1), Qt::Key_V, Qt::ControlModifier);
    const PagerImage encoded = storeAndEncode(page);
    // Six bytes were left: the second line break would have needed two of the last one.
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), Repeated(121, 'p', {"12\r\n3\0\0", 7}));
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 13), std::string("12\r\n3\r\n4\240 56\0", 13));
}

TEST_F(CannedMessagePageTest, ImageTextsComeBackByteForByteUntilEdited) {
    std::string all; // every byte value but zero, lone CR and LF among them, no terminator
    for (int b = 1; b < 128; ++b) {
        all += static_cast<char>(b < 64 ? b : b + 128);
    }
    const std::string lone = "a\rb\nc\r\nd\n\re";
    PagerImage image = encodedImage();
    setText(image, 0, all, 'A');
    setText(image, 1, lone);
    decode(image);
    CCanMessage page(environment, 0);
    EXPECT_EQ(text(page, 1)->editText().count(QChar::ParagraphSeparator), 5);
    PagerImage encoded = storeAndEncode(page);
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), all + '\0');
    EXPECT_EQ(Bytes(encoded, TextAddress(1), lone.size() + 1), lone + '\0');

    // Edited, every line break becomes CR LF, held to 127 bytes.
    type(page, 0, "");
    QTest::keyClick(text(page, 0), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(text(page, 0), Qt::Key_Backspace);
    type(page, 1, "!");
    encoded = storeAndEncode(page);
    std::string widened = all.substr(0, 126);
    widened.replace(widened.find('\n'), 1, "\r\n");
    widened.replace(widened.find('\r', widened.find('\n')), 1, "\r\n");
    EXPECT_EQ(Bytes(encoded, TextAddress(0), 128), widened.substr(0, 127) + '\0');
    EXPECT_EQ(Bytes(encoded, TextAddress(1), 17), std::string("!a\r\nb\r\nc\r\nd\r\n\r\ne\0", 17));
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
