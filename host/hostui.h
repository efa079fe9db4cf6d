#pragma once

#include <QString>

// Message box styles and replies, as the windows ask for them.
namespace MessageStyle {
constexpr int OkOnly = 0; // one OK button, no icon
constexpr int YesNo = 4; // Yes and No buttons, no icon
constexpr int Information = 64; // OK button with the information icon
} // namespace MessageStyle

namespace MessageReply {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MessageReply

// What a file dialog is shown with. Filters are written as description and
// pattern pairs, each followed by "|" ("Text Files (*.txt)|*.txt|"), or as a
// bare pattern ("*.txt").
struct FileDialogSettings
{
    QString DialogTitle;
    QString Filter;
    QString DefaultExt;
    QString FileName; // proposed name; after a showing, the name chosen
    int Flags = 0;
};

// The desktop services the windows use to talk to the user. The windows
// reach the message box and the file dialogs only through this interface.
class HostUi
{
public:
    virtual ~HostUi() = default;

    // Shows a modal message box; returns the reply code of the button
    // pressed (MessageReply::Yes only for the Yes button). CR LF in the
    // prompt breaks the line.
    virtual int ShowMessage(const QString &prompt, int style, const QString &title) = 0;

    // Show a modal file dialog and return the full path chosen, or an empty
    // string when the user cancelled.
    virtual QString ShowOpenDialog(const FileDialogSettings &settings) = 0;
    virtual QString ShowSaveDialog(const FileDialogSettings &settings) = 0;
};
