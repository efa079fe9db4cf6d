#pragma once

#include <QString>

// Message box styles and replies, with the numbers desktops have long given
// them.
enum class MessageStyle {
    OkOnly = 0, // one OK button, no icon
    YesNo = 4, // Yes and No buttons, no icon
    Warning = 48, // OK button with the warning icon
    Information = 64, // OK button with the information icon
    YesNoWarningDefaultNo = 308, // Yes and No with the warning icon; No is the default
};

enum class MessageReply {
    Ok = 1,
    Yes = 6,
    No = 7,
};

// What a file dialog is shown with. Filters are written as description and
// pattern pairs, each followed by "|" ("Text Files (*.txt)|*.txt|"), or as a
// bare pattern ("*.txt").
struct FileDialogSettings
{
    QString DialogTitle;
    QString Filter;
    QString DefaultExt;
    QString FileName; // proposed name; after a showing, the name chosen
    QString Directory; // where the dialog starts when FileName names no folder
};

// The desktop services the windows use to talk to the user. The windows
// reach the message box and the file dialogs only through this interface.
class HostUi
{
public:
    virtual ~HostUi() = default;

    // Shows a modal message box; returns the button pressed
    // (MessageReply::Yes only for the Yes button). CR LF in the prompt
    // breaks the line.
    virtual MessageReply ShowMessage(const QString &prompt, MessageStyle style,
                                     const QString &title) = 0;

    // Show a modal file dialog and return the full path chosen, or an empty
    // string when the user cancelled. The save dialog returns the name as
    // the dialog itself made it: with the default extension where the
    // dialog adds it (and asks about that name), without it where the
    // dialog leaves it off (and asks about the name without it).
    virtual QString ShowOpenDialog(const FileDialogSettings &settings) = 0;
    virtual QString ShowSaveDialog(const FileDialogSettings &settings) = 0;
};
