#include "qthostui.h"

#include "commondialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

// Boxes and dialogs sit over the window the user is working in, when one is
// shown; a hidden window would place them off the user's view.
QWidget *dialogParent()
{
    QWidget *window = QApplication::activeWindow();
    return window && window->isVisible() ? window : nullptr;
}

MessageReply replyFor(QMessageBox::StandardButton button, bool yesNo)
{
    switch (button) {
    case QMessageBox::Yes:
        return MessageReply::Yes;
    case QMessageBox::No:
        return MessageReply::No;
    case QMessageBox::Ok:
        return MessageReply::Ok;
    default:
        // Closed without a button: never Yes.
        return yesNo ? MessageReply::No : MessageReply::Ok;
    }
}

QString showFileDialog(const FileDialogSettings &settings, QFileDialog::AcceptMode mode)
{
    // Held by a guard: the parent window may be destroyed while the dialog
    // is up, and the dialog with it.
    QPointer<QFileDialog> dialog = new QFileDialog(dialogParent(), settings.DialogTitle);
    const bool saving = mode == QFileDialog::AcceptSave;
    dialog->setObjectName(saving ? QStringLiteral("saveFileDialog")
                                 : QStringLiteral("openFileDialog"));
    // Qt's own dialog, the same on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFiltersFromDialogFilter(settings.Filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    QString suffix = settings.DefaultExt.trimmed();
    while (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog->setDefaultSuffix(suffix);
    if (!settings.FileName.isEmpty())
        dialog->selectFile(settings.FileName);

    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return {};
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    if (!accepted || files.isEmpty() || files.constFirst().isEmpty())
        return {};
    return QFileInfo(files.constFirst()).absoluteFilePath();
}

} // namespace

MessageReply QtHostUi::ShowMessage(const QString &prompt, MessageStyle style, const QString &title)
{
    const bool yesNo = style == MessageStyle::YesNo;
    const bool information = style == MessageStyle::Information;

    QPointer<QMessageBox> box = new QMessageBox(dialogParent());
    box->setObjectName(QStringLiteral("messageBox"));
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(title);
    box->setIcon(information ? QMessageBox::Information : QMessageBox::NoIcon);
    // The prompt is shown as written: markup in it is text, not formatting.
    box->setTextFormat(Qt::PlainText);
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setText(text);
    if (yesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }

    box->exec();
    if (!box)
        return replyFor(QMessageBox::NoButton, yesNo);
    const MessageReply reply = replyFor(box->standardButton(box->clickedButton()), yesNo);
    delete box;
    return reply;
}

QString QtHostUi::ShowOpenDialog(const FileDialogSettings &settings)
{
    return showFileDialog(settings, QFileDialog::AcceptOpen);
}

QString QtHostUi::ShowSaveDialog(const FileDialogSettings &settings)
{
    return showFileDialog(settings, QFileDialog::AcceptSave);
}
