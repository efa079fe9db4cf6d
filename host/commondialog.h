#pragma once

#include "hostui.h"

// A file dialog component a window carries: it keeps its settings between
// showings and remembers the name chosen in its last showing.
// Callers go in one order: settings, then ShowOpen() or ShowSave(), then
// ChosenName().
class CommonDialog
{
public:
    explicit CommonDialog(HostUi &host, FileDialogSettings settings = {});

    FileDialogSettings &Settings() { return m_settings; }
    const FileDialogSettings &Settings() const { return m_settings; }

    void ShowOpen();
    void ShowSave();

    // The full path chosen in the last showing; empty if it was cancelled.
    const QString &ChosenName() const { return m_chosenName; }

private:
    HostUi &m_host;
    FileDialogSettings m_settings;
    QString m_chosenName;
};
