#pragma once

#include <QFont>
#include <QWidget>
#include <QtMath>

// Window layouts are drawn in twips, 1/1440 inch; the screen's logical
// resolution turns them into pixels (15 twips to the pixel at 96 DPI).
inline int twipsToPixelsX(const QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

inline int twipsToPixelsY(const QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiY() / 1440.0);
}

// Both windows and their controls are drawn in Arial 8.25 pt bold (Liberation
// Sans stands in where Arial is missing).
inline QFont formFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}
