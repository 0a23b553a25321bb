#include "ui/controls/DialogUnits.h"

#include <QFontMetrics>

#include <cstdint>
#include <limits>

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    static const QString kAlphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(kAlphabet);
    // (width / 26 + 1) / 2 is width / 52 rounded, in integers.
    return DialogBaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const std::int64_t half = divisor / 2;
    const std::int64_t result =
        product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(result);
}

int DialogUnitsToPixelsX(int dialogUnits, const DialogBaseUnits& base) {
    return MulDiv(dialogUnits, base.x, 4);
}

int DialogUnitsToPixelsY(int dialogUnits, const DialogBaseUnits& base) {
    return MulDiv(dialogUnits, base.y, 8);
}

QPoint DialogPointToPixels(const QPoint& dialogUnits, const DialogBaseUnits& base) {
    return {DialogUnitsToPixelsX(dialogUnits.x(), base),
            DialogUnitsToPixelsY(dialogUnits.y(), base)};
}

QSize DialogSizeToPixels(const QSize& dialogUnits, const DialogBaseUnits& base) {
    return {DialogUnitsToPixelsX(dialogUnits.width(), base),
            DialogUnitsToPixelsY(dialogUnits.height(), base)};
}

QRect DialogRectToPixels(const QRect& dialogUnits, const DialogBaseUnits& base) {
    return {DialogPointToPixels(dialogUnits.topLeft(), base),
            DialogSizeToPixels(dialogUnits.size(), base)};
}
