#pragma once

#include "host/hostui.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// One request the windows made of the desktop, as the fake saw it.
struct HostCall
{
    enum Kind { Message, OpenDialog, SaveDialog };

    Kind kind = Message;
    QString prompt; // messages
    MessageStyle style = MessageStyle::OkOnly;
    QString title;
    FileDialogSettings settings; // dialogs
};

// A scripted HostUi for widget tests: replies and chosen names are queued in
// advance, and every request is logged with its arguments. When a queue runs
// dry a message box answers as if closed (No for Yes/No boxes, OK otherwise)
// and a dialog as if cancelled.
class FakeHostUi final : public HostUi
{
public:
    QQueue<MessageReply> replies;
    QQueue<QString> openNames; // an empty name stands for a cancelled dialog
    QQueue<QString> saveNames;
    QList<HostCall> calls;

    // Runs inside each request, after it is logged: lets a test look at the
    // windows while the "modal box" is up.
    std::function<void(const HostCall &)> onCall;

    MessageReply ShowMessage(const QString &prompt, MessageStyle style,
                             const QString &title) override;
    QString ShowOpenDialog(const FileDialogSettings &settings) override;
    QString ShowSaveDialog(const FileDialogSettings &settings) override;

    QList<HostCall> messages() const;
};
