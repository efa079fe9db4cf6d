#include "fakehostui.h"
#include "heldread.h"
#include "mainwindow/form1.h"
#include "mainwindow/statuspanels.h"
#include "mainwindowfixture.h"
#include "progress/form2.h"
#include "shownwindow.h"

#include <optional>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <algorithm>

using namespace Qt::StringLiterals;

class tst_Form1Sequence : public QObject, protected MainWindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openHandsOverToTheProgressWindow();
    void progressWindowClosedEarly_data();
    void progressWindowClosedEarly();
    void filesFromOutside_data();
    void filesFromOutside();
    void droppedUrls_data();
    void droppedUrls();

private:
    void dropOnWindow(QMimeData *data);
};

// A drop reaches only the window that took the drag as it entered. Even a
// drag with Shift held, which asks for a move, drops as a copy: the files
// are only read, and their owner must not delete them.
void tst_Form1Sequence::dropOnWindow(QMimeData *data)
{
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(20, 40), offered, data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(m_form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    // The window shows that the files are welcome while they are over it.
    const QWidget *welcome = m_form->findChild<QWidget *>(u"dropWelcome"_s);
    QVERIFY(welcome && !welcome->isHidden());
    QDropEvent drop(QPointF(20, 40), offered, data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(m_form.get(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QVERIFY(welcome->isHidden());
}

void tst_Form1Sequence::init()
{
    showMainWindow();
}

void tst_Form1Sequence::cleanup()
{
    dropMainWindow();
}

// Counts the paints of a window's widgets, wherever they happen.
class PaintCounter final : public QObject
{
public:
    QString windowName;
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window()->objectName() == windowName)
            ++paints;
        return false;
    }
};

void tst_Form1Sequence::openHandsOverToTheProgressWindow()
{
    // As when Open is run from the keyboard: the bar has the focus.
    m_form->menuBar()->setFocus();
    const QString path = writeFile(u"list.txt"_s, "b\r\na\r\n");
    const bool held = HeldRead::isAvailable();
    HeldRead hold(path, writeFile(u"held"_s, {}));
    PaintCounter counter;
    counter.windowName = u"Form2"_s;
    qApp->installEventFilter(&counter);
    m_host->openNames.enqueue(path);
    m_form->mnuOpen_Click();
    // The progress window is painted as Open puts it up, not left blank.
    QVERIFY(counter.paints > 0);
    QVERIFY(m_form->isHidden());
    QPointer<Form2> progress = shownWindow<Form2>();
    QVERIFY(progress);
    if (held) {
        // The file is read on another thread: the windows go on meanwhile,
        // and the progress window plays only once the list is in order.
        counter.paints = 0;
        progress->update();
        QTRY_VERIFY(counter.paints > 0);
        QVERIFY(m_form->List1().isAddingFiles());
        QCOMPARE(progress->ProgressValue(), 0);
        progress->Timer1_Timer();
        QCOMPARE(progress->ProgressValue(), 0);
        QCOMPARE(m_form->StatusBar1().panelText(2), QString());
        // A read that lasts shows that work goes on; once it ends, the
        // sequence plays from its start all the same.
        QTRY_VERIFY(progress->isBusy());
    }
    QVERIFY(hold.release());
    waitUntilRead();
    QVERIFY(!progress->isBusy());
    QCOMPARE(progress->findChild<QLabel *>(u"Label1"_s)->text(), u"Sorting text..."_s);
    qApp->removeEventFilter(&counter);
    QCOMPARE(m_form->StatusBar1().panelText(2), u"2"_s);
    QCOMPARE(m_host->messages().size(), 0);

    // Its ticks finish the sequence: the main window is back with the list
    // before the question is asked.
    bool shownDuringPrompt = false;
    m_host->onCall = [&](const HostCall &) {
        shownDuringPrompt = m_form->isVisible();
    };
    for (int tick = 0; tick < 50; ++tick)
        progress->Timer1_Timer();
    QVERIFY(shownDuringPrompt);
    QCOMPARE(m_host->messages().size(), 1);
    QCOMPARE(m_host->messages().first().title, u"Finished"_s);
    QTRY_VERIFY(!progress);
    QVERIFY(m_form->isVisible());
    QCOMPARE(shownEntries(), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(m_form->focusWidget(), m_form->findChild<QListView *>(u"List1"_s));

    // The next Open loads a fresh progress window.
    open(writeFile(u"more.txt"_s, "c\r\n"));
    QVERIFY(shownWindow<Form2>());
    QCOMPARE(shownWindow<Form2>()->ProgressValue(), 0);
}

void tst_Form1Sequence::progressWindowClosedEarly_data()
{
    QTest::addColumn<bool>("duringRead"); // the file held up, as on a slow disk

    // Escape does nothing to the sequence; the window manager's close ends it.
    QTest::newRow("once the file is read") << false;
    // Escape gives the read up: the list stays as it was.
    QTest::newRow("while the file is read") << true;
}

void tst_Form1Sequence::progressWindowClosedEarly()
{
    QFETCH(bool, duringRead);
    if (duringRead && !HeldRead::isAvailable())
        QSKIP("needs lexivorn_heldread preloaded, as CTest runs this test");

    const QString path = writeFile(u"list.txt"_s, "a\r\n");
    std::optional<HeldRead> hold;
    open(path, duringRead, hold);
    QVERIFY(m_form->isHidden());
    Form2 *progress = shownWindow<Form2>();
    const QLabel *status = progress->findChild<QLabel *>(u"Label1"_s);
    if (duringRead) {
        // A read that lasts shows that work goes on.
        QTRY_VERIFY(progress->isBusy());
        QCOMPARE(status->text(), u"Please wait..."_s);
        QCOMPARE(progress->findChild<QProgressBar *>()->maximum(), 0);
    }
    QTest::keyClick(progress, Qt::Key_Escape);
    if (!duringRead) {
        QVERIFY(shownWindow<Form2>());
        QVERIFY(m_form->isHidden());
        QVERIFY(progress->windowHandle()->close());
    }
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->focusWidget(), m_form->findChild<QListView *>(u"List1"_s));
    QTRY_VERIFY(!shownWindow<Form2>());
    // Nothing the read makes is still to come.
    QVERIFY(!m_form->List1().isAddingFiles());
    const QStringList before = duringRead ? QStringList() : QStringList{u"a"_s};
    QCOMPARE(shownEntries(), before);
    QCOMPARE(m_form->StatusBar1().panelText(2), duringRead ? QString() : u"1"_s);

    // The next Open starts at once, though a given-up read goes on; what
    // that read made never reaches the list, even once it ends.
    m_host->openNames.enqueue(writeFile(u"more.txt"_s, "b\r\n"));
    m_form->mnuOpen_Click();
    waitUntilRead();
    QCOMPARE(m_form->List1().hasReadsRunning(), duringRead);
    hold.reset();
    QTRY_VERIFY(!m_form->List1().hasReadsRunning());
    QApplication::processEvents();
    QVERIFY(shownWindow<Form2>());
    QCOMPARE(shownWindow<Form2>()->ProgressValue(), 0);
    QCOMPARE(shownEntries(), before + QStringList{u"b"_s});
    QCOMPARE(m_form->StatusBar1().panelText(2), QString::number(before.size() + 1));
    QCOMPARE(m_host->messages().size(), 0);
}

void tst_Form1Sequence::filesFromOutside_data()
{
    QTest::addColumn<QStringList>("names"); // under the test folder; "missing" ones are not made
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<int>(
            "droppedDuringFirst"); // of the names, how many arrive while the first plays
    QTest::addColumn<QStringList>("titles"); // of the messages, in order

    const QStringList two{u"one.txt"_s, u"two.txt"_s};
    const QString finished = u"Finished"_s;
    QStringList forty;
    for (int i = 0; i < 40; ++i)
        forty.append(u"list %1.txt"_s.arg(i, 2, 10, QChar(u'0')));
    QTest::newRow("two named files are one Open") << two << false << 0 << QStringList{finished};
    QTest::newRow("forty named files are one Open") << forty << false << 0 << QStringList{finished};
    // The files that were read are in the list; the missing one is told,
    // and nothing is reported as sorted.
    QTest::newRow("a missing file among named files")
            << QStringList{u"one.txt"_s, u"missing.txt"_s, u"two.txt"_s} << false << 0
            << QStringList{u"Error"_s};
    // The save starts in the folder of the last file read.
    QTest::newRow("files from two folders, the last one missing")
            << QStringList{u"one.txt"_s, u"sub/two.txt"_s, u"missing.txt"_s} << false << 0
            << QStringList{u"Error"_s};
    QStringList eightMissing, nineMissing;
    for (int i = 1; i <= 9; ++i)
        (i <= 8 ? eightMissing : nineMissing).append(u"missing %1.txt"_s.arg(i));
    nineMissing = eightMissing + nineMissing;
    QTest::newRow("eight missing files, all named")
            << eightMissing << false << 0 << QStringList{u"Error"_s};
    QTest::newRow("nine missing files, the ninth counted")
            << nineMissing << false << 0 << QStringList{u"Error"_s};
    QTest::newRow("two files dropped are one Open") << two << true << 0 << QStringList{finished};
    QTest::newRow("a drop while an Open plays waits")
            << two << true << 1 << QStringList{finished, finished};
}

// Files named on the command line or dropped on the window together are one
// Open: one progress sequence and one prompt. Files that arrive while an
// Open plays wait for it to end.
void tst_Form1Sequence::filesFromOutside()
{
    QFETCH(QStringList, names);
    QFETCH(bool, dropped);
    QFETCH(int, droppedDuringFirst);
    QFETCH(QStringList, titles);

    QStringList paths;
    QStringList entries;
    QString lastFolderRead;
    for (const QString &name : names) {
        paths.append(m_dir->filePath(name));
        if (name.startsWith(u"missing"))
            continue;
        if (name.contains(u'/'))
            QVERIFY(QDir(m_dir->path()).mkpath(QFileInfo(name).path()));
        lastFolderRead = QFileInfo(paths.last()).path();
        const QString entry = name.chopped(4); // without ".txt"
        writeFile(name, entry.toUtf8() + "\r\n");
        entries.append(entry);
    }
    entries.sort();
    const auto arrive = [&](const QStringList &files) {
        if (!dropped)
            return m_form->openFiles(files);
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &file : files)
            urls.append(QUrl::fromLocalFile(file));
        urls.append(QUrl(u"https://lexivorn.example.org/not-a-file.txt"_s));
        data.setUrls(urls);
        dropOnWindow(&data);
    };
    const QStringList later = paths.mid(paths.size() - droppedDuringFirst);
    arrive(paths.first(paths.size() - droppedDuringFirst));

    for (qsizetype sequence = 0; sequence < titles.count(u"Finished"_s); ++sequence) {
        Form2 *progress = nullptr;
        QTRY_VERIFY((progress = shownWindow<Form2>()));
        waitUntilRead();
        if (sequence == 0 && !later.isEmpty())
            arrive(later);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](const QWidget *w) {
                                   return qobject_cast<const Form2 *>(w) && w->isVisible();
                               }),
                 1);
        for (int tick = 0; tick < 50; ++tick)
            progress->Timer1_Timer();
        QTRY_VERIFY(!shownWindow<Form2>());
    }
    waitUntilRead();

    QStringList shownTitles;
    for (const HostCall &message : m_host->messages())
        shownTitles.append(message.title);
    QCOMPARE(shownTitles, titles);
    if (titles.first() == u"Error"_s) {
        const QString prompt = m_host->messages().first().prompt;
        qsizetype missing = 0;
        for (const QString &path : paths) {
            if (!QFileInfo(path).fileName().startsWith(u"missing"))
                continue;
            // The first eight are named, the rest only counted.
            QCOMPARE(prompt.contains(path), ++missing <= 8);
        }
        QCOMPARE(prompt.contains(u"more."_s), missing > 8);
    }
    QCOMPARE(shownEntries(), entries);
    QVERIFY(m_form->isVisible());
    QVERIFY(!shownWindow<Form2>());
    if (!lastFolderRead.isEmpty()) {
        m_host->saveNames.enqueue(QString());
        m_form->mnuSave_Click();
        QCOMPARE(m_host->calls.last().settings.Directory, lastFolderRead);
    }
}

// Names in dropped file URLs: only files of this computer are opened, and
// a name is never cut at a NUL.
void tst_Form1Sequence::droppedUrls_data()
{
    QTest::addColumn<QString>("url"); // %1 is the test folder
    QTest::addColumn<QString>("refusal"); // empty: the file opens

    QTest::newRow("no host") << u"file://%1/list.txt"_s << QString();
    QTest::newRow("localhost") << u"file://localhost%1/list.txt"_s << QString();
    QTest::newRow("another host") << u"file://elsewhere%1/list.txt"_s << u"\"elsewhere\""_s;
    QTest::newRow("host that is a local folder's name")
            << u"file://tmp%1/list.txt"_s << u"\"tmp\""_s;
    QTest::newRow("NUL in the name") << u"file://%1/list.txt%00.bak"_s << u"NUL character"_s;
}

void tst_Form1Sequence::droppedUrls()
{
    QFETCH(QString, url);
    QFETCH(QString, refusal);

    writeFile(u"list.txt"_s, "listed\r\n");
    QMimeData data;
    data.setUrls({QUrl(QString(url).replace(u"%1"_s, m_dir->path()))});
    dropOnWindow(&data);
    if (refusal.isEmpty()) {
        QVERIFY(shownWindow<Form2>());
        waitUntilRead();
        QCOMPARE(shownEntries(), QStringList{u"listed"_s});
        QCOMPARE(m_host->messages().size(), 0);
        return;
    }
    QVERIFY(!shownWindow<Form2>());
    QCOMPARE(shownEntries(), QStringList());
    QCOMPARE(m_host->messages().size(), 1);
    QCOMPARE(m_host->messages().first().title, u"Error"_s);
    QVERIFY2(m_host->messages().first().prompt.contains(refusal),
             qPrintable(m_host->messages().first().prompt));
}

QTEST_MAIN(tst_Form1Sequence)
#include "tst_form1sequence.moc"
