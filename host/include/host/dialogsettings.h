#pragma once

#include "host/hostui.h"

// What the main window's two file dialogs are shown with. The open dialog's
// filter is set again before every showing.
inline FileDialogSettings openDialogSettings()
{
    FileDialogSettings settings;
    settings.DialogTitle = QStringLiteral("Open file to alphabetize...");
    settings.DefaultExt = QStringLiteral(".txt");
    return settings;
}

inline FileDialogSettings saveDialogSettings()
{
    FileDialogSettings settings;
    settings.DialogTitle = QStringLiteral("Save file as...");
    settings.DefaultExt = QStringLiteral("txt");
    settings.FileName = QStringLiteral("Alphabetized File");
    settings.Filter = QStringLiteral("*.txt");
    return settings;
}
