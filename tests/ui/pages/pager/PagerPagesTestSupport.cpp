#include "PagerPagesTestSupport.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

namespace {

// A fixed encode time keeps images comparable.
constexpr LocalDateTime kEncodeTime{2024, 5, 17, 9, 30};

} // namespace

PagerImage PagerPagesTest::BaseImage(Generation mode) {
    PagerSettings initial;
    PagerImage image{};
    EncodeImage(initial, mode, kEncodeTime, image);
    return image;
}

void PagerPagesTest::decode(const PagerImage& image, Generation mode) {
    setMode(mode);
    DecodeImage(image, mode, context.settings);
}

PagerImage PagerPagesTest::storeAndEncode(SettingsPage& page) {
    page.storeToSettings();
    return encode();
}

PagerImage PagerPagesTest::encode() {
    PagerImage image{};
    EncodeImage(context.settings, context.state.programmingMode.load(), kEncodeTime, image);
    return image;
}

QString Shown(const QComboBox* list) {
    return list->currentIndex() < 0 ? QString() : list->currentText();
}

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int index = 0; index < list->count(); ++index) {
        items << list->itemText(index);
    }
    return items;
}

void Choose(QComboBox* list, const QString& item) {
    ASSERT_TRUE(list->isEnabled() && list->isVisible()) << "a user cannot reach this list";
    const int index = list->findText(item, Qt::MatchExactly);
    ASSERT_GE(index, 0) << "no item " << item.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void Click(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

void Type(QLineEdit* edit, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, static_cast<char>(c.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}
