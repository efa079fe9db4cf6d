#include "mainwindow/form1.h"

#include "cutofftooltip.h"
#include "filedroptarget.h"
#include "host/dialogsettings.h"
#include "host/taskbarstate.h"
#include "host/windowkeeper.h"
#include "listfile/listfile.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/statuspanels.h"
#include "menubarlook.h"
#include "module1.h"
#include "progress/form2.h"
#include "resources/appinfo.h"
#include "shownentry.h"
#include "shownfilename.h"
#include "uishared/twips.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QListView>
#include <QMenuBar>

#include <utility>

using namespace Qt::StringLiterals;
using listfile::FileResult;

Form1::Form1(HostUi &host, QWidget *parent)
    // A normal window, which every window manager gives the focus to; it is
    // kept off the taskbar by its window states (keepOffTaskbar).
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_host(host)
    , m_openDialog(host, openDialogSettings())
    , m_saveDialog(host, saveDialogSettings())
{
    setObjectName(u"Form1"_s);
    setWindowTitle(AppInfo::DisplayName.toString());
    setFont(formFont());

    createList();
    createStatusBar();
    createMenuBar();
    setFixedClientSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    fitToScreen(this, [this](const QSize &room) { setFixedClientSize(room); });
    // First shown centred on the screen, and never left minimized: it has
    // no taskbar button to bring it back by.
    centreOnScreen(this);
    keepWindowNormal(this);
    keepOffTaskbar(this);
    takeFocusWhenShown(this);
    // Files dropped from a file manager open as if chosen in the dialog.
    connect(new FileDropTarget(this), &FileDropTarget::filesDropped, this, &Form1::openFiles);
    Form_Load();
}

Form1::~Form1()
{
    // A progress window still playing must not tick on into a main window
    // that is gone.
    delete m_form2;
}

void Form1::Form_Load()
{
    RemoveCloseCommand(this);
}

void Form1::createList()
{
    auto *client = new QWidget(this);
    m_list = new EntryListModel(this);
    m_listView = new QListView(client);
    m_listView->setObjectName(u"List1"_s);
    m_listView->setAccessibleName(u"Entries"_s);
    m_listView->setModel(m_list);
    m_listView->setUniformItemSizes(true);
    m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listView->setTextElideMode(Qt::ElideNone);
    m_listView->setWordWrap(false);
    // Long entries are cut off at the right edge; their rows show the
    // entry's start as a tooltip instead.
    m_listView->setItemDelegate(new CutOffToolTip(m_listView));
    m_listView->setGeometry(twipsToPixelsX(this, 120), twipsToPixelsY(this, 120),
                            twipsToPixelsX(this, 7695), twipsToPixelsY(this, 4890));
    setCentralWidget(client);
    connect(m_list, &EntryListModel::filesAdded, this, &Form1::filesRead);
}

void Form1::createStatusBar()
{
    m_statusBar = new StatusPanels(this);
    m_statusBar->setObjectName(u"StatusBar1"_s);
    setStatusBar(m_statusBar);
}

void Form1::createMenuBar()
{
    QMenuBar *bar = menuBar();
    // Commands sit straight on the bar; a desktop-wide menu bar would
    // expect submenus, so the bar stays inside the window.
    bar->setNativeMenuBar(false);
    highlightActiveItem(bar);
    reachBarByF10(bar);
    const auto addItem = [this, bar](const QString &name, const QString &caption,
                                     void (Form1::*command)()) {
        QAction *action = bar->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, command);
    };
    addItem(u"mnuOpen"_s, u"Open"_s, &Form1::mnuOpen_Click);
    addBarSeparator(bar, u"mnuBar2"_s);
    addItem(u"mnuSave"_s, u"Save"_s, &Form1::mnuSave_Click);
    addBarSeparator(bar, u"mnuBar3"_s);
    addItem(u"mnuExit"_s, u"Exit"_s, &Form1::mnuExit_Click);
    addBarSeparator(bar, u"mnuBar"_s);
    addItem(u"mnuAbout"_s, u"About"_s, &Form1::mnuAbout_Click);
    // A command run from the keyboard leaves the focus on the bar, with no
    // item selected, once its box has closed; the list takes it back, as it
    // does after a click.
    connect(bar, &QMenuBar::triggered, m_listView, [this] { m_listView->setFocus(); });
}

void Form1::setFixedClientSize(const QSize &room)
{
    // The client area below the menu bar: the list's area above the status
    // bar, which is docked to the bottom edge.
    const int width = qMin(twipsToPixelsX(this, 7935), room.width());
    const int statusBarHeight = twipsToPixelsY(this, 5295) - twipsToPixelsY(this, 5040);
    const int menuBarHeight = menuBar()->heightForWidth(width);
    const int listTop = twipsToPixelsY(this, 120);
    const int listAreaHeight =
            qMax(qMin(twipsToPixelsY(this, 5040), room.height() - menuBarHeight - statusBarHeight),
                 2 * listTop + m_listView->fontMetrics().height());
    centralWidget()->setFixedSize(width, listAreaHeight);
    const int listLeft = twipsToPixelsX(this, 120);
    m_listView->resize(qMin(twipsToPixelsX(this, 7695), width - 2 * listLeft),
                       qMin(twipsToPixelsY(this, 4890), listAreaHeight - listTop - 2));
    m_statusBar->setFixedHeight(statusBarHeight);
    setFixedSize(width, menuBarHeight + listAreaHeight + statusBarHeight);
}

void Form1::reportFileError(const QString &what, const listfile::FileResult &result)
{
    // A file refused for want of room in the list was read, but not added.
    const QString headline = result.isListFull()
            ? (result.fileName().isEmpty() ? u"Could not add the files"_s
                                           : u"Could not add the file"_s)
            : what;
    QString text = headline;
    if (!result.fileName().isEmpty())
        text += u"\r\n"_s % shownFileName(result.fileName());
    text += u"\r\n\r\n"_s % markedForDisplay(result.reason());
    m_host.ShowMessage(text, MessageStyle::Warning, u"Error"_s);
}

void Form1::reportFileErrors(const QList<FileResult> &failures)
{
    if (failures.size() == 1)
        return reportFileError(u"Could not read the file"_s, failures.first());
    // Past this many, the files are only counted: the box stays short
    // enough to read.
    constexpr qsizetype namedAtMost = 8;
    QString text = u"Could not read %1 of the files"_s.arg(failures.size());
    for (const FileResult &failure : failures.first(qMin(failures.size(), namedAtMost))) {
        text += u"\r\n\r\n"_s;
        if (!failure.fileName().isEmpty())
            text += shownFileName(failure.fileName()) % u"\r\n"_s;
        text += markedForDisplay(failure.reason());
    }
    if (failures.size() > namedAtMost)
        text += u"\r\n\r\n"_s % u"and %1 more."_s.arg(failures.size() - namedAtMost);
    m_host.ShowMessage(text, MessageStyle::Warning, u"Error"_s);
}

void Form1::mnuOpen_Click()
{
    FileDialogSettings &settings = m_openDialog.Settings();
    settings.Filter = u"Text Files (*.txt)|*.txt|"_s;
    m_openDialog.ShowOpen();
    const QString fileName = m_openDialog.ChosenName();
    // A cancelled dialog ends the command: nothing is read again and the
    // window stays as it was.
    if (fileName.isEmpty())
        return;
    // Chosen while an Open is still under way, the file waits for it.
    if (m_opening)
        return openFiles({fileName});
    openBatch({fileName}, {});
}

void Form1::openFiles(const QStringList &fileNames, const QList<FileResult> &refused)
{
    m_waitingFiles += fileNames;
    m_waitingRefusals += refused;
    openWaitingFiles();
}

void Form1::openWaitingFiles()
{
    if (m_opening || m_form2 || (m_waitingFiles.isEmpty() && m_waitingRefusals.isEmpty()))
        return;
    openBatch(std::exchange(m_waitingFiles, {}), std::exchange(m_waitingRefusals, {}));
}

// The Open command from the moment its files are named; `refused` holds
// those refused before. The files are read on a thread of their own, and
// filesRead() goes on from there.
void Form1::openBatch(const QStringList &fileNames, const QList<FileResult> &refused)
{
    m_opening = true;
    m_refusedFiles = refused;
    if (fileNames.isEmpty())
        return endOpen({});
    hide();
    showProgressWindow();
    m_list->addFiles(fileNames);
}

void Form1::filesRead(const QList<FileResult> &failures)
{
    // Lines read before a failure stay in the list, so the count is shown
    // either way.
    m_statusBar->setPanelText(2, QString::number(m_list->entries().Count()));
    if (m_form2)
        m_form2->holdTicks(false);
    endOpen(failures);
}

void Form1::endOpen(const QList<FileResult> &failures)
{
    const QList<FileResult> all = std::exchange(m_refusedFiles, {}) + failures;
    if (!all.isEmpty()) {
        // A file that was not read is never reported as sorted: the progress
        // window goes, this window comes back and says why. The files that
        // were read are in the list.
        if (m_form2)
            m_form2->close();
        show();
        reportFileErrors(all);
    }
    m_opening = false;
    openWaitingFiles();
}

void Form1::showProgressWindow()
{
    if (!m_form2) {
        m_form2 = new Form2(m_host);
        connect(m_form2, &Form2::mainWindowWanted, this, &Form1::showMainWindow);
        connect(m_form2, &Form2::saveWanted, this, [this, form2 = m_form2] {
            if (const QString chosen = saveListAs(); !chosen.isEmpty() && form2)
                form2->setSavePath(chosen);
        });
        // Forgotten as it unloads, so that the next Open loads a fresh one;
        // its end is the end of the Open sequence. Closed while the files
        // are still read, it gives that Open up, with the list as it was.
        connect(m_form2, &Form2::unloading, this, [this] {
            m_form2 = nullptr;
            if (m_list->isAddingFiles()) {
                m_list->abandonFiles();
                m_refusedFiles.clear();
                m_opening = false;
            }
        });
        connect(m_form2, &Form2::unloading, this, &Form1::openWaitingFiles, Qt::QueuedConnection);
    }
    // It plays once the files are in the list.
    m_form2->holdTicks(true);
    m_form2->showPainted();
}

void Form1::mnuSave_Click()
{
    if (m_list->entries().Count() == 0) {
        m_host.ShowMessage(u"There's nothing to save!"_s, MessageStyle::OkOnly, u"Error"_s);
        return;
    }
    if (const QString chosen = saveListAs(); !chosen.isEmpty())
        m_savePath = chosen;
}

void Form1::showMainWindow()
{
    show();
    m_listView->setFocus();
}

QString Form1::saveListAs()
{
    // Until a name has been chosen here, the dialog starts in the folder of
    // the last list read rather than wherever the program was started.
    FileDialogSettings &settings = m_saveDialog.Settings();
    if (QFileInfo(settings.FileName).isRelative() && !m_list->lastFileRead().isEmpty())
        settings.Directory = QFileInfo(m_list->lastFileRead()).absolutePath();
    m_saveDialog.ShowSave();
    // A cancelled dialog writes nothing, not even the proposed name.
    const QString fileName = m_saveDialog.ChosenName();
    if (fileName.isEmpty())
        return {};
    const listfile::FileResult result = listfile::WriteListFile(fileName, m_list->entries());
    if (result.ok())
        m_host.ShowMessage(u"File was saved successfully!"_s, MessageStyle::OkOnly, u"Finished"_s);
    else if (result.isWrittenNotSafe())
        reportFileError(u"Saved the file, but could not make sure it is on disk"_s, result);
    else
        reportFileError(u"Could not save the file"_s, result);
    return fileName;
}

void Form1::mnuExit_Click()
{
    // Ends the event loop without asking the windows to close: this window
    // refuses every close, and a quit that asks first would be turned down.
    QCoreApplication::exit(0);
}

void Form1::mnuAbout_Click()
{
    const QString blankLine = u"\r\n\r\n"_s;
    const QString text = u"Lexivorn v1.0 alphabetizes your text lists."_s % blankLine
            % u"Written by the Lexivorn developers."_s % blankLine
            % u"Report bugs to:  bugs@lexivorn.example.org"_s % blankLine % AppInfo::RightsNotice
            % blankLine;
    m_host.ShowMessage(text, MessageStyle::Information, u"About "_s % AppInfo::DisplayName);
}
