#pragma once

#include "commondialog.h"

#include <QMainWindow>
#include <QPointer>

class EntryListModel;
namespace listfile {
class FileResult;
}
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

public:
    explicit Form1(HostUi &host, QWidget *parent = nullptr);
    ~Form1() override;

    EntryListModel &List1() { return *m_list; }
    StatusPanels &StatusBar1() { return *m_statusBar; }

    QString SavePath;

    // Opens each file in turn, as Open does with a name chosen in its
    // dialog. Files that arrive while an Open is under way wait for it to
    // end, prompt and all.
    void openFiles(const QStringList &fileNames);

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
    void setFixedClientSize();
    void openFile(const QString &fileName);
    void openNextWaitingFile();
    void showProgressWindow();
    // An "Error" message naming the file and the reason.
    void reportFileError(const QString &what, const listfile::FileResult &result);

    HostUi &m_host;
    EntryListModel *m_list = nullptr;
    QListView *m_listView = nullptr;
    StatusPanels *m_statusBar = nullptr;
    CommonDialog m_openDialog;
    CommonDialog m_saveDialog;
    QPointer<Form2> m_form2;
    QStringList m_waitingFiles;
    // Set while a file is read and its failure told, so that a waiting file
    // cannot start from inside that.
    bool m_opening = false;
};
