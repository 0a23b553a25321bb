#include "ui/controls/HoverButton.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Rectangles below are given as (left, top, right, bottom) with right and bottom exclusive,
// like the item rectangle of an owner-drawn control; a 1-pixel outline of such a rectangle is
// the QRect one pixel narrower and lower.
QRect OutlineOf(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).adjusted(0, 0, -1, -1);
}

} // namespace

CButtonEx::CButtonEx(QWidget* parent) : CButtonEx(QString(), parent) {}

CButtonEx::CButtonEx(const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      disabledTextColour_(palette().color(QPalette::Disabled, QPalette::Text)) {
    setMouseTracking(true);
}

void CButtonEx::SetFont(int tenthsOfPoint, const QString& face) {
    QFont font(face);
    font.setPointSizeF(tenthsOfPoint / 10.0);
    ownFont_ = font;
    setFont(*ownFont_);
    repaint();
}

void CButtonEx::SetFaceColour(const QColor& colour) {
    faceColour_ = colour;
    update();
}

QString CButtonEx::shownCaption() const {
    return fontMetrics().elidedText(caption_, Qt::ElideRight, width(), Qt::TextSingleLine);
}

void CButtonEx::setVisualState(int state) {
    if (state != state_) {
        state_ = state;
        update();
    }
}

void CButtonEx::followMouse(bool inside) {
    tracking_ = inside;
    if (leftHeld_) {
        // Dragged off while held, the button neither looks pressed nor lit; back on, it is
        // pressed again, as a click released there would still count.
        setVisualState(inside ? Pressed : Normal);
    } else {
        setVisualState(inside ? Hover : Normal);
    }
}

// Enter and leave also reach a disabled button, so it knows where the mouse is when it is
// enabled again.
void CButtonEx::enterEvent(QEnterEvent* event) {
    followMouse(true);
    QPushButton::enterEvent(event);
}

void CButtonEx::leaveEvent(QEvent* event) {
    followMouse(false);
    QPushButton::leaveEvent(event);
}

// While the left button is held the moves keep coming when the mouse is off the button, and
// no leave comes until it is released: the position decides.
void CButtonEx::mouseMoveEvent(QMouseEvent* event) {
    followMouse(rect().contains(event->position().toPoint()));
    QPushButton::mouseMoveEvent(event);
}

void CButtonEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftHeld_ = true;
        followMouse(rect().contains(event->position().toPoint()));
    }
    QPushButton::mousePressEvent(event);
}

void CButtonEx::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftHeld_ = false;
        followMouse(rect().contains(event->position().toPoint()));
    }
    QPushButton::mouseReleaseEvent(event);
}

void CButtonEx::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        // A disabled button gets no release; the painting decides the disabled look.
        leftHeld_ = false;
        followMouse(tracking_);
    }
    QPushButton::changeEvent(event);
}

void CButtonEx::paintEvent(QPaintEvent*) {
    if (caption_.isEmpty()) {
        caption_ = text();
    }
    // The disabled look is decided afresh at every paint, so a re-enabled button draws as
    // normal again.
    if (state_ == Disabled) {
        state_ = Normal;
    }
    if (!isEnabled()) {
        state_ = Disabled;
    }

    QColor captionColour = textColour_;
    QColor outlineColour = kIdleOutline;
    if (state_ == Hover) {
        outlineColour = kHoverOutline;
    } else if (state_ == Disabled) {
        captionColour = disabledTextColour_;
        outlineColour = faceColour_;
    }

    const int right = width();
    const int bottom = height();
    QPainter painter(this);
    painter.setPen(QPen(outlineColour, 1));
    painter.setBrush(faceColour_);
    painter.drawRoundedRect(OutlineOf(0, 0, right, bottom), 2.5, 2.5);
    if (state_ != Pressed) {
        drawRaisedInnerEdge(painter, QRect(QPoint(2, 1), QPoint(right - 1, bottom - 1)));
    }

    painter.setPen(captionColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, shownCaption());

    if (hasFocus()) {
        painter.setPen(QPen(captionColour, 1, Qt::DotLine));
        painter.drawRect(OutlineOf(3, 2, right - 3, bottom - 2));
    }
}

// A one-pixel raised border: light on the top and left sides, dark on the bottom and right,
// the dark sides drawn last so that they own the two far corners.
void CButtonEx::drawRaisedInnerEdge(QPainter& painter, const QRect& area) const {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Light), 1));
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.topRight(), area.bottomRight());
}
