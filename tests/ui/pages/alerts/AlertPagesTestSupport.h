#pragma once

#include "image/ImageCodec.h"
#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"
#include "ui/pages/SettingsPage.h"

#include <QComboBox>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

// The whole path of a page: image bytes -> DecodeImage -> page -> user -> page -> EncodeImage.
class AlertPagesTest : public ::testing::Test {
protected:
    void setMode(std::uint8_t mode) { context.state.programmingMode = mode; }
    std::uint8_t mode() const { return context.state.programmingMode.load(); }

    // An image as the current settings encode it, for a test to change a few bytes of.
    PagerImage encodedImage() {
        PagerImage image{};
        EncodeImage(context.settings, mode(), kTime, image);
        return image;
    }
    void decode(const PagerImage& image) { DecodeImage(image, mode(), context.settings); }

    // The page's controls to settings, then the image they give.
    PagerImage storeAndEncode(SettingsPage& page) {
        page.storeToSettings();
        return encodedImage();
    }

    static std::string Bytes(const PagerImage& image, std::size_t from, std::size_t count) {
        return std::string(image.begin() + from, image.begin() + from + count);
    }

    template <class T> static T* Control(QWidget& page, int id) {
        T* control = FindControl<T>(&page, id);
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    // Picks a list item with the keyboard, as a user would on a closed list.
    static void Choose(QComboBox* list, int index) {
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        ASSERT_EQ(list->currentIndex(), index);
    }

    // Types any characters: one key press per character, carrying the character as its text.
    static void TypeText(QWidget* widget, const QString& text) {
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    static QStringList Items(const QComboBox* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items.append(list->itemText(i));
        }
        return items;
    }

    static inline const LocalDateTime kTime{2026, 3, 5, 10, 20};

    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
};
