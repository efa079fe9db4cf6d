#pragma once

#include "host/commondialog.h"
#include "listfile/listfile.h"

#include <QMainWindow>
#include <QPointer>

class EntryListModel;
class Form2;
class HostUi;
class QListView;
class StatusPanels;

// The main window: the ordered list, the status bar and the menu bar
// Open | Save | Exit | About. It owns the list and both file dialogs for the
// life of the program, and puts up the progress window after each Open.
class Form1 final : public QMainWindow
{
    Q_OBJECT
    // The name of the file last chosen for a save from this window.
    Q_PROPERTY(QString SavePath READ SavePath)

public:
    explicit Form1(HostUi &host, QWidget *parent = nullptr);
    ~Form1() override;

    EntryListModel &List1() { return *m_list; }
    StatusPanels &StatusBar1() { return *m_statusBar; }

    QString SavePath() const { return m_savePath; }

    // Files that arrive together, from the command line or a drop, are one
    // Open: read one after another into the list, then one progress
    // sequence and one prompt; the files that cannot be read, and those
    // `refused` on arrival, are told in one message. Files that arrive while
    // an Open is under way wait for it to end, prompt and all, and then open
    // together.
    void openFiles(const QStringList &fileNames, const QList<listfile::FileResult> &refused = {});

    // Menu commands.
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

private:
    // Back on the screen when the progress window ends, the list focused.
    void showMainWindow();
    // The one save routine, for the menu's Save and the prompted save.
    // Returns the name chosen, empty when the user cancelled.
    QString saveListAs();
    void Form_Load();
    void createList();
    void createStatusBar();
    void createMenuBar();
    // The design size, or less where the screen leaves less `room`: the
    // list gives up what the menu bar and the status bar need.
    void setFixedClientSize(const QSize &room);
    void openBatch(const QStringList &fileNames, const QList<listfile::FileResult> &refused);
    void filesRead(const QList<listfile::FileResult> &failures);
    // The end of an Open: the files that failed are told.
    void endOpen(const QList<listfile::FileResult> &failures);
    void openWaitingFiles();
    void showProgressWindow();
    // An "Error" message naming the file and the reason.
    void reportFileError(const QString &what, const listfile::FileResult &result);
    // One "Error" message for all the files of an Open that failed.
    void reportFileErrors(const QList<listfile::FileResult> &failures);

    HostUi &m_host;
    EntryListModel *m_list = nullptr;
    QListView *m_listView = nullptr;
    StatusPanels *m_statusBar = nullptr;
    CommonDialog m_openDialog;
    CommonDialog m_saveDialog;
    QPointer<Form2> m_form2;
    QStringList m_waitingFiles;
    QList<listfile::FileResult> m_waitingRefusals;
    // Those refused as the Open under way began, told with its failures.
    QList<listfile::FileResult> m_refusedFiles;
    // Set while files are read and their failures told, so that no other
    // Open starts meanwhile.
    bool m_opening = false;
    QString m_savePath;
};
