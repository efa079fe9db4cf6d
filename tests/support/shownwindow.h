#pragma once

#include <QApplication>
#include <QWidget>

// The shown top-level window of a kind, or null: tests find the program's
// windows as a person does, by what is on the screen.
template<typename Window> Window *shownWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}
