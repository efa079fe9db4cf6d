#include "host/commondialog.h"

#include <QFileInfo>

#include <utility>

using namespace Qt::StringLiterals;

CommonDialog::CommonDialog(HostUi &host, FileDialogSettings settings)
    : m_host(host)
    , m_settings(std::move(settings))
{ }

void CommonDialog::ShowOpen()
{
    m_chosenName = m_host.ShowOpenDialog(m_settings);
    // A cancelled showing keeps the name proposed before it.
    if (!m_chosenName.isEmpty())
        m_settings.FileName = m_chosenName;
}

// The name with the default extension where the dialog left it off: a name
// without a dot, as Qt's dialogs see it, that is not a folder.
static QString withDefaultExtension(const QString &name, QString extension)
{
    while (extension.startsWith(u'.'))
        extension.remove(0, 1);
    const QFileInfo info(name);
    if (extension.isEmpty() || info.fileName().contains(u'.') || info.isDir())
        return name;
    return name + u'.' + extension;
}

void CommonDialog::ShowSave()
{
    for (;;) {
        const QString returned = m_host.ShowSaveDialog(m_settings);
        m_chosenName = returned;
        if (returned.isEmpty())
            return;
        // A name that is taken was asked about by the dialog, and the person
        // chose to replace it: that file is written. Adding the extension
        // would write another file than the one asked about, and ask again.
        const QFileInfo returnedFile(returned);
        if (returnedFile.exists() && !returnedFile.isDir()) {
            m_settings.FileName = returned;
            return;
        }
        m_chosenName = withDefaultExtension(returned, m_settings.DefaultExt);
        // The dialog asked about the name it returned, if about any: the
        // name with the extension added here is asked about here.
        const bool replaceUnasked = m_chosenName != returned && QFileInfo::exists(m_chosenName);
        m_settings.FileName = m_chosenName;
        if (!replaceUnasked || replaceConfirmed())
            return;
        m_settings.FileName = returned;
    }
}

bool CommonDialog::replaceConfirmed() const
{
    // The words of Qt's own save dialog.
    const QString prompt = u"%1 already exists.\nDo you want to replace it?"_s.arg(
            QFileInfo(m_chosenName).fileName());
    return m_host.ShowMessage(prompt, MessageStyle::YesNoWarningDefaultNo, m_settings.DialogTitle)
            == MessageReply::Yes;
}
