#include "fakehostui.h"
#include "form1.h"
#include "form2.h"
#include "mainwindowfixture.h"
#include "shownwindow.h"

#include <QApplication>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

class tst_Form1Sequence : public QObject, protected MainWindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openHandsOverToTheProgressWindow();
    void progressWindowClosedEarly();
    void filesFromOutside_data();
    void filesFromOutside();
};

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
    PaintCounter counter;
    counter.windowName = u"Form2"_s;
    qApp->installEventFilter(&counter);
    open(writeFile(u"list.txt"_s, "b\r\na\r\n"));
    qApp->removeEventFilter(&counter);
    // The file is read on this thread once Open has put up the progress
    // window: it is painted before that, not left blank while a big file is
    // read.
    QVERIFY(counter.paints > 0);
    QVERIFY(m_form->isHidden());
    QPointer<Form2> progress = shownWindow<Form2>();
    QVERIFY(progress);
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

void tst_Form1Sequence::progressWindowClosedEarly()
{
    open(writeFile(u"list.txt"_s, "a\r\n"));
    QVERIFY(m_form->isHidden());
    shownWindow<Form2>()->close();
    QVERIFY(m_form->isVisible());
    QTRY_VERIFY(!shownWindow<Form2>());

    open(writeFile(u"more.txt"_s, "b\r\n"));
    QVERIFY(shownWindow<Form2>());
    QCOMPARE(shownWindow<Form2>()->ProgressValue(), 0);
}

void tst_Form1Sequence::filesFromOutside_data()
{
    QTest::addColumn<QStringList>("names"); // under the test folder; "missing" ones are not made
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<int>(
            "droppedDuringFirst"); // of the names, how many arrive while the first plays

    const QStringList two{u"one.txt"_s, u"two.txt"_s};
    QTest::newRow("two named files") << two << false << 0;
    QTest::newRow("a missing file, then one that opens")
            << QStringList{u"missing.txt"_s, u"two.txt"_s} << false << 0;
    QTest::newRow("two files dropped") << two << true << 0;
    QTest::newRow("a drop while an Open plays waits") << two << true << 1;
}

// Files named on the command line or dropped on the window each run the
// whole Open sequence, one after another, never two at once.
void tst_Form1Sequence::filesFromOutside()
{
    QFETCH(QStringList, names);
    QFETCH(bool, dropped);
    QFETCH(int, droppedDuringFirst);

    writeFile(u"one.txt"_s, "pear\r\napple\r\n");
    writeFile(u"two.txt"_s, "fig\r\n");
    QStringList paths;
    for (const QString &name : names)
        paths.append(m_dir->filePath(name));
    const auto arrive = [&](const QStringList &files) {
        if (!dropped)
            return m_form->openFiles(files);
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &file : files)
            urls.append(QUrl::fromLocalFile(file));
        urls.append(QUrl(u"https://lexivorn.example.org/not-a-file.txt"_s));
        data.setUrls(urls);
        // A drop reaches only the window that took the drag as it entered.
        // Even a drag with Shift held, which asks for a move, drops as a copy:
        // the files are only read, and their owner must not delete them.
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(20, 40), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(20, 40), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_form.get(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
    };
    const QStringList later = paths.mid(paths.size() - droppedDuringFirst);
    arrive(paths.first(paths.size() - droppedDuringFirst));

    int prompts = 0;
    const bool firstMissing = names.first().startsWith(u"missing");
    for (qsizetype file = firstMissing ? 1 : 0; file < paths.size(); ++file) {
        Form2 *progress = nullptr;
        QTRY_VERIFY((progress = shownWindow<Form2>()));
        if (file == 0 && !later.isEmpty())
            arrive(later);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](const QWidget *w) {
                                   return qobject_cast<const Form2 *>(w) && w->isVisible();
                               }),
                 1);
        for (int tick = 0; tick < 50; ++tick)
            progress->Timer1_Timer();
        ++prompts;
        QTRY_VERIFY(!shownWindow<Form2>());
    }

    QStringList titles;
    for (const HostCall &message : m_host->messages())
        titles.append(message.title);
    QStringList expected(prompts, u"Finished"_s);
    if (firstMissing)
        expected.prepend(u"Error"_s);
    QCOMPARE(titles, expected);
    QCOMPARE(shownEntries(),
             firstMissing ? QStringList{u"fig"_s} : QStringList({u"apple"_s, u"fig"_s, u"pear"_s}));
    QVERIFY(m_form->isVisible());
}

QTEST_MAIN(tst_Form1Sequence)
#include "tst_form1sequence.moc"
