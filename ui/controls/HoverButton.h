#pragma once

#include <QColor>
#include <QPushButton>
#include <QString>

#include <optional>

// A push button that paints a flat, rounded face with a light raised edge and changes its
// outline with the mouse: grey when idle, white while the mouse is over it, no raised edge
// while pressed, the face colour when disabled. Clicking works as on any push button; only
// the drawing differs.
//
// The look follows where the mouse is, whatever order presses, moves, releases and enabling
// come in: lit only while the mouse is over the button (also when it is enabled under a resting
// mouse), pressed only while the left button is held with the mouse over it.
class CButtonEx : public QPushButton {
    Q_OBJECT

public:
    enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    static constexpr QColor kIdleOutline{192, 192, 192};
    static constexpr QColor kHoverOutline{255, 255, 255};
    static constexpr QColor kDefaultFace{243, 243, 243};
    static constexpr QColor kDefaultText{0, 0, 0};

    explicit CButtonEx(QWidget* parent = nullptr);
    explicit CButtonEx(const QString& text, QWidget* parent = nullptr);

    // Replaces the button's own font by one of the given size (tenths of a point) and face,
    // and redraws at once.
    void SetFont(int tenthsOfPoint, const QString& face);
    void SetFaceColour(const QColor& colour);

    int state() const { return state_; }
    // The mouse is over the button, as its enter, leave and move events tell.
    bool isTracking() const { return tracking_; }
    QColor faceColour() const { return faceColour_; }
    QColor disabledTextColour() const { return disabledTextColour_; }
    // The caption as painted: taken from the button text at the first paint that finds the
    // cached caption empty; later text changes do not reach it.
    QString cachedCaption() const { return caption_; }
    // The cached caption cut with an ellipsis to the button's width.
    QString shownCaption() const;
    const std::optional<QFont>& ownFont() const { return ownFont_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setVisualState(int state);
    // The state from where the mouse is and whether the left button is held on the button.
    void followMouse(bool inside);
    void drawRaisedInnerEdge(QPainter& painter, const QRect& area) const;

    int state_ = Normal;
    bool tracking_ = false;
    bool leftHeld_ = false;
    QString caption_;
    QColor textColour_ = kDefaultText;
    QColor faceColour_ = kDefaultFace;
    QColor disabledTextColour_;
    std::optional<QFont> ownFont_;
};
