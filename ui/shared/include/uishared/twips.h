#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
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

// Both windows and their controls are drawn in Arial 8.25 pt bold, or in
// Liberation Sans, its metric twin, where Arial is not installed. The twin is
// named outright: asked for a missing family, Qt has fontconfig rank every
// installed font as a substitute, a good part of the start-up time.
inline QFont formFont()
{
    const QString arial = QStringLiteral("Arial");
    const QString twin = QStringLiteral("Liberation Sans");
    const QStringList installed = QFontDatabase::families();
    const bool useTwin = !installed.contains(arial, Qt::CaseInsensitive)
            && installed.contains(twin, Qt::CaseInsensitive);
    QFont font(useTwin ? twin : arial);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}
