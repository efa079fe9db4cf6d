#pragma once

#include "host/hostui.h"

#include <QCoreApplication>

// What the main window's two file dialogs are shown with. The open dialog's
// filter is set again before every showing. Their texts are translated as
// the windows' are.
inline FileDialogSettings openDialogSettings()
{
    FileDialogSettings settings;
    settings.DialogTitle =
            QCoreApplication::translate("CommonDialog", "Open file to alphabetize...");
    settings.DefaultExt = QStringLiteral(".txt");
    return settings;
}

inline FileDialogSettings saveDialogSettings()
{
    FileDialogSettings settings;
    settings.DialogTitle = QCoreApplication::translate("CommonDialog", "Save file as...");
    settings.DefaultExt = QStringLiteral("txt");
    settings.FileName = QCoreApplication::translate("CommonDialog", "Alphabetized File");
    settings.Filter = QStringLiteral("*.txt");
    return settings;
}
