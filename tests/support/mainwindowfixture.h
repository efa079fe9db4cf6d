#pragma once

#include "fakehostui.h"
#include "filesread.h"
#include "heldread.h"
#include "mainwindow/form1.h"
#include "mainwindow/program.h"
#include "testfiles.h"

#include <QAction>
#include <QListView>
#include <QMenuBar>
#include <QTest>

#include <memory>
#include <optional>

// The main window, started as the program starts it, over a scripted
// desktop, with a fresh folder for the lists a test writes. A test class shows it in init() and
// drops it in cleanup(), so that each test function starts from a new window.
class MainWindowFixture
{
protected:
    void showMainWindow()
    {
        m_dir = std::make_unique<TestFolder>();
        QVERIFY(m_dir->isValid());
        m_host = std::make_unique<FakeHostUi>();
        m_form = startMainWindow(*m_host);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void dropMainWindow()
    {
        m_form.reset();
        m_host.reset();
        m_dir.reset();
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return m_dir->writeFile(name, bytes);
    }

    // Opens a file and waits until it has been read.
    void open(const QString &path)
    {
        m_host->openNames.enqueue(path);
        m_form->mnuOpen_Click();
        waitUntilRead();
    }

    // Opens a file as open() does or, `whileHeld`, has its read held up in
    // `hold`, as on a slow disk, and returns with the read under way.
    void open(const QString &path, bool whileHeld, std::optional<HeldRead> &hold)
    {
        if (whileHeld)
            hold.emplace(path, writeFile(QStringLiteral("held"), {}));
        m_host->openNames.enqueue(path);
        m_form->mnuOpen_Click();
        if (!whileHeld)
            waitUntilRead();
    }

    void waitUntilRead() { QVERIFY(FilesRead::waitUntilRead(m_form->List1())); }

    QStringList shownEntries() const
    {
        const QAbstractItemModel *model =
                m_form->findChild<QListView *>(QStringLiteral("List1"))->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->data(model->index(row, 0)).toString());
        return rows;
    }

    QAction *action(const QString &name) const
    {
        return m_form->menuBar()->findChild<QAction *>(name);
    }

    std::unique_ptr<TestFolder> m_dir;
    std::unique_ptr<FakeHostUi> m_host;
    std::unique_ptr<Form1> m_form;
};
