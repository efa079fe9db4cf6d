#pragma once

#include "commondialog.h"

#include <QMainWindow>
#include <QPointer>

class EntryListModel;
class FileResult;
class Form2;
class HostUi;
class QListView;
class StatusPanels;

// The main window: the ordered list, the status bar and the menu bar
// Open | Save | Exit | About. It owns the list and both file dialogs for the
// life of the program.
class Form1 final : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(HostUi &host, QWidget *parent = nullptr);
    ~Form1() override;

    EntryListModel &List1() { return *m_list; }
    CommonDialog &CommonDialog1() { return m_openDialog; }
    CommonDialog &CommonDialog2() { return m_saveDialog; }
    StatusPanels &StatusBar1() { return *m_statusBar; }
    // The progress window, while one is loaded.
    Form2 *progressWindow() const;

    QString SavePath;

    // Tell the user a list file could not be read or written: an "Error"
    // message naming the file and the reason.
    void reportReadError(const FileResult &result);
    void reportWriteError(const FileResult &result);

    // Menu commands.
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

private:
    void Form_Load();
    void createList();
    void createStatusBar();
    void createMenuBar();
    void setFixedClientSize();
    void showProgressWindow();

    HostUi &m_host;
    EntryListModel *m_list = nullptr;
    QListView *m_listView = nullptr;
    StatusPanels *m_statusBar = nullptr;
    CommonDialog m_openDialog;
    CommonDialog m_saveDialog;
    QPointer<Form2> m_form2;
};
