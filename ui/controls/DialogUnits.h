#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

// Window layouts are given in dialog units, which scale with the dialog's font: four
// horizontal units are one average character width, eight vertical units one character
// height. These helpers turn them into pixels the way the original dialog manager does.

struct DialogBaseUnits {
    int x = 0; // average character width in pixels
    int y = 0; // character height in pixels

    bool operator==(const DialogBaseUnits&) const = default;
};

// Base units of a font: x is the average advance of "A".."Z" "a".."z" rounded to the nearest
// pixel, y the font's height (ascent plus descent).
DialogBaseUnits BaseUnitsOf(const QFont& font);

// number * numerator / denominator with a 64-bit intermediate, rounded to the nearest integer,
// halves away from zero. A zero denominator gives -1.
int MulDiv(int number, int numerator, int denominator);

int DialogUnitsToPixelsX(int dialogUnits, const DialogBaseUnits& base);
int DialogUnitsToPixelsY(int dialogUnits, const DialogBaseUnits& base);
QPoint DialogPointToPixels(const QPoint& dialogUnits, const DialogBaseUnits& base);
QSize DialogSizeToPixels(const QSize& dialogUnits, const DialogBaseUnits& base);

// Position and size are converted separately, as the dialog manager creates controls.
QRect DialogRectToPixels(const QRect& dialogUnits, const DialogBaseUnits& base);
