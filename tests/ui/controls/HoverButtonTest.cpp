#include "ui/controls/HoverButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace {

constexpr int kWidth = 114;
constexpr int kHeight = 36;

class HoverButtonTest : public ::testing::Test {
protected:
    HoverButtonTest() : button(QStringLiteral("Read")) {
        button.resize(kWidth, kHeight);
        button.SetFont(200, QStringLiteral("Tahoma"));
    }

    QImage draw() { return button.grab().toImage(); }

    void moveTo(const QPoint& position) {
        QMouseEvent move(QEvent::MouseMove, position, button.mapToGlobal(position), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &move);
    }

    // The outline's top side, clear of the rounded corners and of the raised edge below it.
    static QColor outlineOf(const QImage& image) { return image.pixelColor(kWidth / 2, 0); }
    // The first line of the raised edge, just inside the outline.
    static QColor upperEdgeOf(const QImage& image) { return image.pixelColor(kWidth / 2, 1); }

    // The darkest pixel of the caption area, i.e. the caption colour where a stroke fully
    // covers a pixel.
    static QColor darkestCaptionPixel(const QImage& image) {
        QColor darkest(255, 255, 255);
        for (int y = 4; y < kHeight - 4; ++y) {
            for (int x = 5; x < kWidth - 5; ++x) {
                const QColor colour = image.pixelColor(x, y);
                if (colour.lightness() < darkest.lightness()) {
                    darkest = colour;
                }
            }
        }
        return darkest;
    }

    CButtonEx button;
};

TEST_F(HoverButtonTest, OutlineAndEdgeFollowTheMouse) {
    const QColor light = button.palette().color(QPalette::Light);
    struct Step {
        const char* action;
        int state;
        QColor outline;
        bool edge;
    };
    const Step steps[] = {
        {"start", CButtonEx::Normal, CButtonEx::kIdleOutline, true},
        {"move onto", CButtonEx::Hover, CButtonEx::kHoverOutline, true},
        {"move inside", CButtonEx::Hover, CButtonEx::kHoverOutline, true},
        {"press", CButtonEx::Pressed, CButtonEx::kIdleOutline, false},
        {"release", CButtonEx::Hover, CButtonEx::kHoverOutline, true},
        {"move off", CButtonEx::Normal, CButtonEx::kIdleOutline, true},
        {"move onto", CButtonEx::Hover, CButtonEx::kHoverOutline, true},
        {"leave", CButtonEx::Normal, CButtonEx::kIdleOutline, true},
    };
    const QPoint inside(kWidth / 2, kHeight / 2);
    for (const Step& step : steps) {
        const std::string action = step.action;
        if (action == "move onto") {
            moveTo(inside);
        } else if (action == "move inside") {
            moveTo(QPoint(kWidth - 1, kHeight - 1));
        } else if (action == "press") {
            QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, inside);
        } else if (action == "release") {
            QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, inside);
        } else if (action == "move off") {
            moveTo(QPoint(kWidth + 20, kHeight / 2));
        } else if (action == "leave") {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&button, &leave);
        }
        const QImage image = draw();
        SCOPED_TRACE(action);
        EXPECT_EQ(button.state(), step.state);
        EXPECT_EQ(outlineOf(image), step.outline);
        EXPECT_EQ(upperEdgeOf(image), step.edge ? light : button.faceColour());
    }
}

// After any order of presses, moves, releases, enabling and disabling, the button is lit only
// while the mouse is over it and pressed only while the left button is held there.
TEST(HoverButtonSequences, TheLookFollowsTheMouseWhateverTheOrder) {
    // Steps: Enter, Leave, Press, drag Off, drag back In, release off (r) or on (R), Disable,
    // enAble. States after each: Normal, Hover, Pressed, X disabled.
    const std::pair<const char*, const char*> sequences[] = {
        {"EPOOrL", "HPNNNN"}, // pressed, dragged off, released outside
        {"EPOIR", "HPNPH"},   // dragged off and back on
        {"DEA", "XXH"},       // enabled under a resting mouse
        {"EPDLA", "HPXXN"},   // disabled while held, enabled after the mouse left
    };
    const QPoint inside(kWidth / 2, kHeight / 2);
    const QPoint outside(kWidth + 20, kHeight / 2);
    for (const auto& [steps, states] : sequences) {
        SCOPED_TRACE(steps);
        CButtonEx button(QStringLiteral("Save"));
        button.resize(kWidth, kHeight);
        for (std::size_t i = 0; steps[i] != 0; ++i) {
            const char step = steps[i];
            const QPoint at =
                std::string_view("EPIR").find(step) != std::string_view::npos ? inside : outside;
            QEnterEvent enter(at, at, button.mapToGlobal(at));
            QEvent leave(QEvent::Leave);
            const QEvent::Type type = step == 'P'                  ? QEvent::MouseButtonPress
                                      : step == 'r' || step == 'R' ? QEvent::MouseButtonRelease
                                                                   : QEvent::MouseMove;
            const Qt::MouseButton changed =
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent mouse(type, at, button.mapToGlobal(at), changed, held, Qt::NoModifier);
            if (step == 'D' || step == 'A') {
                button.setEnabled(step == 'A');
            } else {
                QApplication::sendEvent(&button, step == 'E'   ? static_cast<QEvent*>(&enter)
                                                 : step == 'L' ? &leave
                                                               : &mouse);
            }
            const QImage image = button.grab().toImage();
            const int expected = static_cast<int>(std::string_view("NHPX").find(states[i]));
            EXPECT_EQ(button.state(), expected) << "after step " << i;
            EXPECT_EQ(image.pixelColor(kWidth / 2, 0) == CButtonEx::kHoverOutline,
                      expected == CButtonEx::Hover)
                << "after step " << i;
        }
    }
}

TEST_F(HoverButtonTest, ClicksStillWorkLikeAPushButton) {
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(HoverButtonTest, FaceColourAndTheDisabledLook) {
    EXPECT_EQ(draw().pixelColor(4, 4), CButtonEx::kDefaultFace);
    button.SetFaceColour(QColor(236, 233, 216));
    EXPECT_EQ(draw().pixelColor(4, 4), QColor(236, 233, 216));
    EXPECT_EQ(darkestCaptionPixel(draw()), CButtonEx::kDefaultText);

    button.setEnabled(false);
    QImage image = draw();
    EXPECT_EQ(button.state(), CButtonEx::Disabled);
    EXPECT_EQ(outlineOf(image), QColor(236, 233, 216));
    EXPECT_EQ(darkestCaptionPixel(image), button.disabledTextColour());
    EXPECT_NE(button.disabledTextColour(), CButtonEx::kDefaultText);

    button.setEnabled(true);
    image = draw();
    EXPECT_EQ(button.state(), CButtonEx::Normal);
    EXPECT_EQ(outlineOf(image), CButtonEx::kIdleOutline);
    EXPECT_EQ(darkestCaptionPixel(image), CButtonEx::kDefaultText);
}

TEST_F(HoverButtonTest, CaptionIsCachedAtTheFirstPaintThatFindsItEmpty) {
    const QImage first = draw();
    button.setText(QStringLiteral("Other"));
    EXPECT_EQ(button.cachedCaption(), QStringLiteral("Read"));
    EXPECT_EQ(draw(), first);

    CButtonEx unnamed;
    unnamed.resize(kWidth, kHeight);
    unnamed.grab();
    unnamed.setText(QStringLiteral("Exit"));
    unnamed.grab();
    EXPECT_EQ(unnamed.cachedCaption(), QStringLiteral("Exit"));
}

TEST_F(HoverButtonTest, SetFontTwiceKeepsOnlyTheLastFont) {
    button.SetFont(120, QStringLiteral("DejaVu Sans"));
    ASSERT_TRUE(button.ownFont().has_value());
    EXPECT_DOUBLE_EQ(button.ownFont()->pointSizeF(), 12.0);
    EXPECT_EQ(button.ownFont()->family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(button.font(), *button.ownFont());
}

TEST_F(HoverButtonTest, LongCaptionIsCutWithAnEllipsisOnOneLine) {
    CButtonEx narrow(QStringLiteral("A caption far wider than the button"));
    narrow.resize(60, kHeight);
    narrow.grab();
    const QString shown = narrow.shownCaption();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(narrow.fontMetrics().horizontalAdvance(shown), 60);
    EXPECT_EQ(narrow.cachedCaption(), QStringLiteral("A caption far wider than the button"));

    button.grab();
    EXPECT_EQ(button.shownCaption(), QStringLiteral("Read"));
}

TEST(HoverButtonFocus, FocusDrawsADottedRectangleInsideTheEdge) {
    QWidget window;
    auto* button = new CButtonEx(QStringLiteral("Write"), &window);
    button->resize(kWidth, kHeight);
    auto dotsOnFocusLine = [button] {
        const QImage image = button->grab().toImage();
        int dots = 0;
        for (int x = 3; x < kWidth - 3; ++x) {
            dots += image.pixelColor(x, 2) == CButtonEx::kDefaultText ? 1 : 0;
        }
        return dots;
    };
    window.show();
    QApplication::setActiveWindow(&window);
    button->clearFocus();
    EXPECT_EQ(dotsOnFocusLine(), 0);
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    const int dots = dotsOnFocusLine();
    EXPECT_GT(dots, kWidth / 4);
    EXPECT_LT(dots, kWidth - 6); // dotted, not solid
}

} // namespace
