#include "host/qthostui.h"

#include "host/commondialog.h"
#include "host/taskbarstate.h"
#include "host/windowkeeper.h"
#include "namefilters.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

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
    case MessageStyle::YesNoWarningDefaultNo:
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

// A message box as tall as its text, but never taller than the screen: a
// long text, such as the names and reasons of many files that failed,
// would push the buttons off the screen. Such a text scrolls instead.
class ScreenSizedMessageBox final : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        // QMessageBox fixes its size as it is shown, before it is on the
        // screen, and so is this fitted before anything is drawn.
        QMessageBox::showEvent(event);
        scrollTextPastScreen();
    }

private:
    void scrollTextPastScreen()
    {
        const QScreen *shownOn = screen();
        auto *grid = qobject_cast<QGridLayout *>(layout());
        QLabel *text = findChild<QLabel *>(u"qt_msgbox_label"_s);
        if (!shownOn || !grid || !text || grid->indexOf(text) < 0)
            return;
        // The title bar and frame are not known until the box is on the
        // screen; a tenth of the screen leaves room for them.
        const int room = shownOn->availableGeometry().height() * 9 / 10;
        if (height() <= room)
            return;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(grid->indexOf(text), &row, &column, &rowSpan, &columnSpan);
        grid->removeWidget(text);
        auto *scroller = new QScrollArea(this);
        scroller->setObjectName(u"messageScroller"_s);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setWidgetResizable(true);
        scroller->setWidget(text);
        grid->addWidget(scroller, row, column, rowSpan, columnSpan);
        const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        setFixedSize(width() + scrollBarWidth, room);
    }
};
// A box as narrow as its text leaves its title no room: the window manager
// draws the title between its buttons, in a font of its own. KWin's
// fallback decoration, with two buttons at the left and three at the right,
// showed "Finished" as "F…d" and "Error" not at all; Qt's own title bar on
// Wayland (weston), centred between three buttons on either side,
// "Finishec". The box is made wide enough for its title in a bold font two
// points larger than the program's, and at least 14 pixels, between four
// buttons of 24 pixels on either side.
void makeRoomForTitle(QMessageBox *box)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    if (!grid)
        return;
    QFont font = QGuiApplication::font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + 2);
    else
        font.setPixelSize(font.pixelSize() + 3);
    if (QFontInfo(font).pixelSize() < 14)
        font.setPixelSize(14);
    constexpr int buttons = 4 * 24;
    const int wanted = QFontMetrics(font).horizontalAdvance(box->windowTitle()) + 2 * buttons;
    grid->addItem(new QSpacerItem(wanted, 0), grid->rowCount(), 0, 1, grid->columnCount());
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

// The locale's short date and time with the year written in full: Qt's own
// file dialog shows "12/28/26" under en_US.
QString fullYearDateFormat()
{
    QString format = QLocale::system().dateTimeFormat(QLocale::ShortFormat);
    if (!format.contains(u"yyyy"_s))
        format.replace(u"yy"_s, u"yyyy"_s);
    return format;
}

// Qt's file dialog's files with their dates' years written in full.
class FullYearDates final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (files && index.column() == 3 && role == Qt::DisplayRole)
            return QLocale::system().toString(files->lastModified(mapToSource(index)),
                                              fullYearDateFormat());
        return QIdentityProxyModel::data(index, role);
    }
};

// Qt's own file dialog sizes its columns for short samples ("128.88 GB",
// "mp3Folder") and cuts longer sizes, types and dates. As it is shown, they
// are widened to typical values and the dialog to hold them, within the
// screen, with room kept for the scroll bar a long folder brings, so that
// no column is pushed out of sight. The dates show their years in full.
// The desktop's own dialog, where there is one, is left as it is.
class ColumnFitter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            fitColumns(static_cast<QFileDialog *>(watched));
        return QObject::eventFilter(watched, event);
    }

private:
    static void fitColumns(QFileDialog *dialog)
    {
        auto *view = dialog->findChild<QTreeView *>(u"treeView"_s);
        if (!view)
            return;
        if (!dialog->proxyModel())
            dialog->setProxyModel(new FullYearDates(dialog));
        QHeaderView *header = view->header();
        const QFontMetrics metrics = view->fontMetrics();
        const int padding =
                2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header)
                + 2 * metrics.averageCharWidth();
        const QDateTime lateInTheYear(QDate(2026, 12, 28), QTime(23, 58, 58));
        const QString samples[] = {QString(32, u'n'), u"1023.9 KiB"_s, u"plain text document"_s,
                                   QLocale::system().toString(lateInTheYear, fullYearDateFormat())};
        int wanted = 0;
        for (int column = 0; column < header->count() && column < 4; ++column) {
            const int width = metrics.horizontalAdvance(samples[column]) + padding;
            header->resizeSection(column, qMax(header->sectionSize(column), width));
            wanted += header->sectionSize(column);
        }
        // The folder's files arrive after the showing; the scroll bar of a
        // long folder would then take its width from the columns.
        const int scrollBar = view->verticalScrollBar()->isVisible()
                ? 0
                : view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        const int missing = wanted + scrollBar - view->viewport()->width();
        const QScreen *screen = dialog->screen();
        if (missing > 0 && screen) {
            const int room = screen->availableGeometry().width()
                    - (dialog->frameGeometry().width() - dialog->width());
            dialog->resize(qMin(dialog->width() + missing, room), dialog->height());
        }
    }
};

QString showFileDialog(const FileDialogSettings &settings, QFileDialog::AcceptMode mode)
{
    // Held by a guard: the parent window may be destroyed while the dialog
    // is up, and the dialog with it.
    const QPointer<QWidget> parent = dialogParent();
    QPointer<QFileDialog> dialog = new QFileDialog(parent, settings.DialogTitle);
    const bool saving = mode == QFileDialog::AcceptSave;
    dialog->setObjectName(saving ? QStringLiteral("saveFileDialog")
                                 : QStringLiteral("openFileDialog"));
    // The desktop's own dialog where the platform offers one (GNOME, KDE, a
    // portal); Qt's own elsewhere, with room for its columns.
    dialog->installEventFilter(new ColumnFitter(dialog));
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

    // The desktop's dialog is drawn by its own toolkit, and Qt knows none of
    // its windows. Where the window manager gives the keyboard to the main
    // window meanwhile (xfwm4 does, as GTK's own question whether to replace
    // a file closes), the blocked window does nothing with it, and Qt says
    // nothing of it: it is looked for, and given back to the dialog.
    auto *keyboardKeeper = new QTimer(dialog);
    keyboardKeeper->setInterval(250);
    QObject::connect(keyboardKeeper, &QTimer::timeout, dialog, [dialog] {
        if (dialog->testAttribute(Qt::WA_DontShowOnScreen))
            focusOtherToolkitWindow();
    });
    keyboardKeeper->start();
    const bool accepted = dialog->exec() == QDialog::Accepted;
    takeFocusBack(parent);
    if (!dialog)
        return {};
    // Qt's own dialog adds the default suffix to a name without one and asks
    // about that name; the desktop's dialog (shown in place of an invisible
    // Qt one) asks about the name as typed, and Qt would add the suffix
    // afterwards, unasked. That name is returned as the dialog gave it.
    if (dialog->testAttribute(Qt::WA_DontShowOnScreen))
        dialog->setDefaultSuffix(QString());
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    if (!accepted || files.isEmpty() || files.constFirst().isEmpty())
        return {};
    return QFileInfo(files.constFirst()).absoluteFilePath();
}

} // namespace

MessageReply QtHostUi::ShowMessage(const QString &prompt, MessageStyle style, const QString &title)
{
    const bool yesNo = style == MessageStyle::YesNo || style == MessageStyle::YesNoWarningDefaultNo;

    const QPointer<QWidget> parent = dialogParent();
    QPointer<QMessageBox> box = new ScreenSizedMessageBox(parent);
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
        box->setDefaultButton(style == MessageStyle::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    closeEmptyIconColumn(box);
    makeRoomForTitle(box);

    box->exec();
    takeFocusBack(parent);
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
