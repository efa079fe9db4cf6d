#include "fakehostui.h"

MessageReply FakeHostUi::ShowMessage(const QString &prompt, MessageStyle style,
                                     const QString &title)
{
    HostCall call;
    call.kind = HostCall::Message;
    call.prompt = prompt;
    call.style = style;
    call.title = title;
    calls.append(call);
    if (onCall)
        onCall(call);
    if (!replies.isEmpty())
        return replies.dequeue();
    const bool yesNo = style == MessageStyle::YesNo || style == MessageStyle::YesNoWarningDefaultNo;
    return yesNo ? MessageReply::No : MessageReply::Ok;
}

static QString showDialog(FakeHostUi &fake, HostCall::Kind kind, const FileDialogSettings &settings,
                          QQueue<QString> &names)
{
    HostCall call;
    call.kind = kind;
    call.settings = settings;
    fake.calls.append(call);
    if (fake.onCall)
        fake.onCall(call);
    return names.isEmpty() ? QString() : names.dequeue();
}

QString FakeHostUi::ShowOpenDialog(const FileDialogSettings &settings)
{
    return showDialog(*this, HostCall::OpenDialog, settings, openNames);
}

QString FakeHostUi::ShowSaveDialog(const FileDialogSettings &settings)
{
    return showDialog(*this, HostCall::SaveDialog, settings, saveNames);
}

QList<HostCall> FakeHostUi::messages() const
{
    QList<HostCall> result;
    for (const HostCall &call : calls) {
        if (call.kind == HostCall::Message)
            result.append(call);
    }
    return result;
}
