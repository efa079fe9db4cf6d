#pragma once

#include "host/hostui.h"

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
    // A name chosen without an extension gets the default one, unless the
    // name is taken as it is (the dialog asked about it, and that file is
    // written); if the name with the extension is taken, the user is asked,
    // in the words of Qt's own dialog, whether to replace it; on No the
    // dialog shows again. One question, about the file written.
    void ShowSave();

    // The full path chosen in the last showing; empty if it was cancelled.
    const QString &ChosenName() const { return m_chosenName; }

private:
    // Asks whether the taken name m_chosenName may be replaced.
    bool replaceConfirmed() const;

    HostUi &m_host;
    FileDialogSettings m_settings;
    QString m_chosenName;
};
