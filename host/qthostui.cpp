#include "qthostui.h"

#include "commondialog.h"
#include "windowkeeper.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

// Boxes and dialogs belong to the main window while it is shown, so that the
// window manager keeps them over it and treats them as part of it. The
// active window is no guide: it may be a window that was just hidden, as the
// progress window is before its prompt, and a box owned by a hidden window,
// or by none, floats free with buttons and a taskbar entry of its own.
QWidget *dialogParent()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (qobject_cast<QMainWindow *>(window) && window->isVisible())
            return window;
    }
    QWidget *window = QApplication::activeWindow();
    return window && window->isVisible() ? window : nullptr;
}

QMessageBox::Icon iconFor(MessageStyle style)
{
    switch (style) {
    case MessageStyle::Information:
        return QMessageBox::Information;
    case MessageStyle::Warning:
        return QMessageBox::Warning;
    case MessageStyle::OkOnly:
    case MessageStyle::YesNo:
        break;
    }
    return QMessageBox::NoIcon;
}

// Qt indents the text of a box without an icon as if the icon were there,
// leaving an empty column at the left. The text is moved over it.
void closeEmptyIconColumn(QMessageBox *box)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    QLabel *text = box->findChild<QLabel *>(u"qt_msgbox_label"_s);
    if (box->icon() != QMessageBox::NoIcon || !grid || !text || grid->indexOf(text) < 0)
        return;
    for (int i = 0; i < grid->count(); ++i) {
        if (QSpacerItem *indent = grid->itemAt(i)->spacerItem())
            indent->changeSize(0, 0);
    }
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(text), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(text);
    grid->addWidget(text, row, 0, rowSpan, column + columnSpan);
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
    keepWindowNormal(dialog);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFiltersFromDialogFilter(settings.Filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    QString suffix = settings.DefaultExt.trimmed();
    while (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog->setDefaultSuffix(suffix);
    if (!settings.Directory.isEmpty())
        dialog->setDirectory(settings.Directory);
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

    QPointer<QMessageBox> box = new QMessageBox(dialogParent());
    box->setObjectName(QStringLiteral("messageBox"));
    box->setWindowModality(Qt::ApplicationModal);
    keepWindowNormal(box);
    box->setWindowTitle(title);
    box->setIcon(iconFor(style));
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
    closeEmptyIconColumn(box);

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
