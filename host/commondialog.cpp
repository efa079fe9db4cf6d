#include "commondialog.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <utility>

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
    const QString question = QCoreApplication::translate(
            "QFileDialog", "%1 already exists.\nDo you want to replace it?");
    const QString prompt = question.arg(QFileInfo(m_chosenName).fileName());
    return m_host.ShowMessage(prompt, MessageStyle::YesNoWarningDefaultNo, m_settings.DialogTitle)
            == MessageReply::Yes;
}

// Filter patterns are listed with ";" between them; Qt lists them with spaces.
static QString qtPatterns(const QString &patterns)
{
    QStringList parts = patterns.split(u';', Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = part.trimmed();
    parts.removeAll(QString());
    return parts.join(u' ');
}

// Qt takes a filter's patterns from the parentheses that end it, so the
// description must end with exactly the patterns that the dialog applies.
static QString nameFilter(const QString &description, const QString &rawPatterns)
{
    const QString patterns = qtPatterns(rawPatterns);
    if (description.isEmpty())
        return patterns;
    const QString qtTail = u'(' + patterns + u')';
    if (description.endsWith(qtTail))
        return description;
    const QString rawTail = u'(' + rawPatterns + u')';
    if (description.endsWith(rawTail))
        return description.chopped(rawTail.size()) + qtTail;
    return description + u' ' + qtTail;
}

QStringList nameFiltersFromDialogFilter(const QString &filter)
{
    QStringList result;
    if (!filter.contains(u'|')) {
        const QString patterns = qtPatterns(filter);
        if (!patterns.isEmpty())
            result.append(patterns);
        return result;
    }
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = parts.at(i + 1).trimmed();
        // A pair without patterns would let Qt read the description as them.
        if (qtPatterns(patterns).isEmpty())
            continue;
        const QString entry = nameFilter(description, patterns);
        if (!result.contains(entry))
            result.append(entry);
    }
    return result;
}
