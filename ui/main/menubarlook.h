#pragma once

class QAction;
class QMenuBar;
class QString;

// Draws the bar's active item, the one under the mouse or reached from the
// keyboard, in the palette's highlight colours. Styles such as Fusion
// highlight an item only while its menu is open, and these items have none.
void highlightActiveItem(QMenuBar *bar);

// Adds a greyed "|" between two commands. It is drawn as its caption, and
// screen readers are told it is a separator rather than a menu item.
QAction *addBarSeparator(QMenuBar *bar, const QString &name);

// F10 puts the keyboard on the bar as a press and release of Alt does, and
// a second F10 or Escape gives it back: the key Windows and GTK programs
// use, which Qt leaves unbound.
void reachBarByF10(QMenuBar *bar);
