#pragma once

#include "image/ImageCodec.h"
#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"
#include "ui/pages/SettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

// The whole path of a page: an image decoded in a mode, the page loaded from the settings,
// the user's actions, the page stored and the settings encoded back into bytes.
class PagerPagesTest : public ::testing::Test {
protected:
    // The initial settings encoded in the mode: a valid image to change single bytes in.
    static PagerImage BaseImage(Generation mode);

    void setMode(Generation mode) { context.state.programmingMode = mode; }
    // Sets the mode, then decodes the image into the settings, as a read does.
    void decode(const PagerImage& image, Generation mode);
    // Stores the page into the settings, then encodes them in the current mode.
    PagerImage storeAndEncode(SettingsPage& page);
    PagerImage encode();

    // A check box and the image bit it stands for.
    struct BoxBit {
        int id;
        int address;
        int bit;
    };
    // Clicks each box on a page loaded from start and checks that, of the bytes given, only
    // the box's own bit changed.
    template <class Page>
    void expectEachBoxFlipsOnlyItsBit(const PagerImage& start, std::span<const BoxBit> boxes,
                                      std::initializer_list<int> bytes);

    // Makes the page and shows it, as the tab control does with the current tab.
    template <class Page> std::unique_ptr<Page> open() {
        auto page = std::make_unique<Page>(environment);
        page->show();
        return page;
    }

    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
};

template <class T> T* Control(SettingsPage& page, int id) {
    T* control = FindControl<T>(&page, id);
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}
inline QComboBox* List(SettingsPage& page, int id) {
    return Control<QComboBox>(page, id);
}
inline QCheckBox* Box(SettingsPage& page, int id) {
    return Control<QCheckBox>(page, id);
}

// The item a list shows, or "" without a selection.
QString Shown(const QComboBox* list);
QStringList Items(const QComboBox* list);
// Picks an item as a user does from the open list: only on an enabled, visible list, which
// then reports the item as activated.
void Choose(QComboBox* list, const QString& item);
// Types the text key by key; characters beyond ASCII arrive as keys that carry only their text,
// as from a keyboard layout that has them.
void Type(QLineEdit* edit, const QString& text);
// A mouse click on the box's indicator.
void Click(QCheckBox* box);

inline bool Bit(const PagerImage& image, int address, int bit) {
    return ((image[address] >> bit) & 1) != 0;
}
inline void SetBit(PagerImage& image, int address, int bit, bool set) {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    image[address] =
        static_cast<std::uint8_t>(set ? image[address] | mask : image[address] & ~mask);
}
// count image bytes from address, as characters.
inline std::string BytesAt(const PagerImage& image, int address, int count) {
    return std::string(image.begin() + address, image.begin() + address + count);
}

template <class Page>
void PagerPagesTest::expectEachBoxFlipsOnlyItsBit(const PagerImage& start,
                                                  std::span<const BoxBit> boxes,
                                                  std::initializer_list<int> bytes) {
    for (const BoxBit& box : boxes) {
        SCOPED_TRACE(box.id);
        decode(start, Generation::V2);
        auto page = open<Page>();
        Click(Box(*page, box.id));
        const PagerImage stored = storeAndEncode(*page);
        PagerImage expected = start;
        SetBit(expected, box.address, box.bit, !Bit(start, box.address, box.bit));
        for (int address : bytes) {
            EXPECT_EQ(stored[address], expected[address]) << "byte " << address;
        }
    }
}
