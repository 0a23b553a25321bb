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
    // The image the current settings give, for a test to change a few bytes of.
    PagerImage encodedImage() {
        PagerImage image{};
        EncodeImage(context.settings, context.state.programmingMode.load(), kTime, image);
        return image;
    }
    void decode(const PagerImage& image) {
        DecodeImage(image, context.state.programmingMode.load(), context.settings);
    }
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
