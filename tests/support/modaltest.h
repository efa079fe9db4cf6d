#pragma once

#include "host/dialogsettings.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <functional>

// The boxes and dialogs block in exec(); the test acts on them from inside
// their own event loop, as the user would.
inline void whenModalShown(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        act(QApplication::activeModalWidget());
        // A failed step must not leave the test waiting on an open dialog.
        for (int i = 0; i < 3 && QApplication::activeModalWidget(); ++i) {
            QWidget *left = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QDialog *>(left))
                dialog->reject();
            left->close();
        }
    });
}

// The open dialog as the Open command shows it.
inline FileDialogSettings openSettings()
{
    FileDialogSettings settings = openDialogSettings();
    settings.Filter = QStringLiteral("Text Files (*.txt)|*.txt|");
    return settings;
}
