#include "entrylistmodel.h"
#include "fakehostui.h"
#include "form1.h"
#include "form2.h"
#include "shownwindow.h"
#include "statuspanels.h"
#include "windowkeeper.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The window itself.
    void geometry();
    void windowLook();
    void startsEmpty();
    void menuBar();
    void separatorsDoNothing();
    void closeIsRefused_data();
    void closeIsRefused();
    void about();
    void exitEndsTheEventLoop();

    // Open.
    void cancelledOpenChangesNothing();
    void openHandsOverToTheProgressWindow();
    void openMergesFiles();
    void openOfEmptyFileShowsZero();
    void unreadableFile_data();
    void unreadableFile();
    void fullList_data();
    void fullList();
    void progressWindowClosedEarly();
    void filesFromOutside_data();
    void filesFromOutside();

    // Save.
    void saveOfEmptyList();
    void cancelledSaveWritesNothing();
    void failedSave_data();
    void failedSave();
    void save();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    void open(const QString &path);
    QStringList shownEntries() const;
    QAction *action(const QString &name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeHostUi> m_host;
    std::unique_ptr<Form1> m_form;
};

void tst_Form1::initTestCase()
{
    // Every size below is what the twips come to at 96 DPI.
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96.0);
}

void tst_Form1::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_host = std::make_unique<FakeHostUi>();
    m_form = std::make_unique<Form1>(*m_host);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_Form1::cleanup()
{
    m_form.reset();
    m_host.reset();
    m_dir.reset();
}

QString tst_Form1::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

void tst_Form1::open(const QString &path)
{
    m_host->openNames.enqueue(path);
    m_form->mnuOpen_Click();
}

QStringList tst_Form1::shownEntries() const
{
    const QAbstractItemModel *model = m_form->findChild<QListView *>(u"List1"_s)->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(model->data(model->index(row, 0)).toString());
    return rows;
}

QAction *tst_Form1::action(const QString &name) const
{
    return m_form->menuBar()->findChild<QAction *>(name);
}

static QByteArray numberedLines(int count)
{
    QByteArray bytes;
    for (int line = count; line > 0; --line)
        bytes += "line " + QByteArray::number(line).rightJustified(5, '0') + "\r\n";
    return bytes;
}

void tst_Form1::geometry()
{
    Form1 &form = *m_form;
    const int menuHeight = form.menuBar()->height();
    QVERIFY(menuHeight > 0);
    QCOMPARE(form.size(), QSize(529, menuHeight + 353));
    QCOMPARE(form.minimumSize(), form.maximumSize());

    const QListView *list = form.findChild<QListView *>(u"List1"_s);
    QVERIFY(list);
    QCOMPARE(QRect(list->mapTo(&form, QPoint(0, 0)), list->size()),
             QRect(8, menuHeight + 8, 513, 326));

    const StatusPanels *statusBar = form.findChild<StatusPanels *>(u"StatusBar1"_s);
    QCOMPARE(statusBar, &form.StatusBar1());
    QCOMPARE(statusBar->geometry(), QRect(0, menuHeight + 336, 529, 17));

    // Centred on the screen, frame included.
    const QRect available = form.screen()->availableGeometry();
    QTRY_VERIFY2(
            (form.frameGeometry().center() - available.center()).manhattanLength() <= 2,
            qPrintable(u"%1,%2"_s.arg(form.frameGeometry().x()).arg(form.frameGeometry().y())));

    // A window larger than the screen, as on a short screen or at a large
    // scale, keeps its title bar on the screen.
    QWidget tall;
    tall.setFixedSize(available.width() / 2, available.height() + 200);
    centreOnScreen(&tall);
    tall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tall));
    QTRY_COMPARE(tall.frameGeometry().top(), available.top());
    QTRY_VERIFY(qAbs(tall.frameGeometry().center().x() - available.center().x()) <= 1);
}

void tst_Form1::windowLook()
{
    Form1 &form = *m_form;
    QCOMPARE(form.windowTitle(), u"Lexivorn v1.0"_s);
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    const QList<const QWidget *> widgets{&form, form.findChild<QWidget *>(u"List1"_s),
                                         form.findChild<QWidget *>(u"StatusBar1"_s)};
    for (const QWidget *widget : widgets) {
        QCOMPARE(widget->font().family(), u"Arial"_s);
        QCOMPARE(widget->font().pointSizeF(), 8.25);
        QVERIFY(widget->font().bold());
    }

    // A long entry is cut off at the right edge, on one row like the others,
    // and the user selects one row at a time.
    QVERIFY(m_form->List1()
                    .addFile(writeFile(u"long.txt"_s, QByteArray(3000, 'w') + "\r\nb\r\n"))
                    .ok());
    QListView *list = m_form->findChild<QListView *>(u"List1"_s);
    QApplication::processEvents();
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    const QModelIndex first = list->model()->index(0, 0);
    const QModelIndex second = list->model()->index(1, 0);
    QCOMPARE(list->visualRect(second).height(), list->visualRect(first).height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(second).center());
    QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{second});
}

void tst_Form1::startsEmpty()
{
    QCOMPARE(m_form->List1().rowCount(), 0);
    QCOMPARE(shownEntries(), QStringList());
    QCOMPARE(m_form->StatusBar1().panelText(2), QString());
    QVERIFY(!shownWindow<Form2>());
    QVERIFY(m_host->calls.isEmpty());
}

void tst_Form1::menuBar()
{
    QStringList names, captions, spoken;
    QList<bool> enabled;
    QList<QAccessible::Role> roles;
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(m_form->menuBar());
    QCOMPARE(bar->childCount(), 7);
    for (const QAction *item : m_form->menuBar()->actions()) {
        names.append(item->objectName());
        captions.append(item->text());
        enabled.append(item->isEnabled());
        QVERIFY2(!item->menu(), qPrintable(item->text()));
        QVERIFY(item->shortcut().isEmpty());
        QVERIFY(!item->isCheckable());
        // What a screen reader finds there.
        const QAccessibleInterface *child = bar->child(int(names.size() - 1));
        QCOMPARE(child->object(), item);
        QCOMPARE(child->parent()->object(), m_form->menuBar());
        QCOMPARE(bar->indexOfChild(child), int(names.size() - 1));
        roles.append(child->role());
        spoken.append(child->text(QAccessible::Name));
    }
    using enum QAccessible::Role;
    QCOMPARE(roles,
             (QList<QAccessible::Role>{MenuItem, Separator, MenuItem, Separator, MenuItem,
                                       Separator, MenuItem}));
    QCOMPARE(spoken,
             (QStringList{u"Open"_s, QString(), u"Save"_s, QString(), u"Exit"_s, QString(),
                          u"About"_s}));
    QCOMPARE(names,
             (QStringList{u"mnuOpen"_s, u"mnuBar2"_s, u"mnuSave"_s, u"mnuBar3"_s, u"mnuExit"_s,
                          u"mnuBar"_s, u"mnuAbout"_s}));
    QCOMPARE(captions,
             (QStringList{u"Open"_s, u"|"_s, u"Save"_s, u"|"_s, u"Exit"_s, u"|"_s, u"About"_s}));
    QCOMPARE(enabled, (QList<bool>{true, false, true, false, true, false, true}));
}

void tst_Form1::separatorsDoNothing()
{
    for (const QString &name : {u"mnuBar2"_s, u"mnuBar3"_s, u"mnuBar"_s}) {
        QAction *item = action(name);
        QSignalSpy triggered(item, &QAction::triggered);
        item->trigger();
        QCOMPARE(triggered.size(), 0);
    }
    QVERIFY(m_host->calls.isEmpty());
    QVERIFY(m_form->isVisible());
}

void tst_Form1::closeIsRefused_data()
{
    QTest::addColumn<bool>("fromWindowSystem");
    QTest::newRow("close() on the window") << false;
    QTest::newRow("window system's close request") << true;
}

void tst_Form1::closeIsRefused()
{
    QFETCH(bool, fromWindowSystem);
    if (fromWindowSystem)
        QVERIFY(!m_form->windowHandle()->close());
    else
        QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->windowHandle()->isVisible());
}

void tst_Form1::about()
{
    // Run from the keyboard, the command starts with the focus on the bar;
    // once it has run, the list has the focus again.
    m_form->menuBar()->setFocus();
    action(u"mnuAbout"_s)->trigger();
    QCOMPARE(m_form->focusWidget(), m_form->findChild<QListView *>(u"List1"_s));
    QCOMPARE(m_host->calls.size(), 1);
    const HostCall &call = m_host->calls.first();
    QCOMPARE(call.kind, HostCall::Message);
    QCOMPARE(call.style, MessageStyle::Information);
    QCOMPARE(call.title, u"About Lexivorn v1.0"_s);
    QCOMPARE(call.prompt,
             u"Lexivorn v1.0 alphabetizes your text lists.\r\n\r\n"
             "Written by the Lexivorn developers.\r\n\r\n"
             "Report bugs to:  bugs@lexivorn.example.org\r\n\r\n"
             "© 2026 The Lexivorn developers\r\n\r\n"_s);
}

void tst_Form1::exitEndsTheEventLoop()
{
    // Unsaved entries do not hold the program up.
    open(writeFile(u"list.txt"_s, "b\r\na\r\n"));
    m_host->calls.clear();
    QTimer::singleShot(0, action(u"mnuExit"_s), &QAction::trigger);
    // Should Exit fail to end the loop, this ends it with another status.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(10'000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(m_host->calls.isEmpty());
}

void tst_Form1::cancelledOpenChangesNothing()
{
    m_host->openNames.enqueue(QString());
    action(u"mnuOpen"_s)->trigger();

    QCOMPARE(m_host->calls.size(), 1);
    const HostCall &call = m_host->calls.first();
    QCOMPARE(call.kind, HostCall::OpenDialog);
    QCOMPARE(call.settings.DialogTitle, u"Open file to alphabetize..."_s);
    QCOMPARE(call.settings.Filter, u"Text Files (*.txt)|*.txt|"_s);
    QCOMPARE(call.settings.DefaultExt, u".txt"_s);
    QCOMPARE(call.settings.FileName, QString());
    QVERIFY(m_form->isVisible());
    QVERIFY(!shownWindow<Form2>());
    QCOMPARE(m_form->StatusBar1().panelText(2), QString());

    // After a file was read, cancelling does not read it a second time.
    open(writeFile(u"first.txt"_s, "b\r\na\r\n"));
    shownWindow<Form2>()->close();
    QTRY_VERIFY(!shownWindow<Form2>());
    m_host->calls.clear();
    m_host->openNames.enqueue(QString());
    m_form->mnuOpen_Click();

    QCOMPARE(m_host->calls.size(), 1);
    QCOMPARE(shownEntries(), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"2"_s);
    QVERIFY(m_form->isVisible());
    QVERIFY(!shownWindow<Form2>());
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

void tst_Form1::openHandsOverToTheProgressWindow()
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

void tst_Form1::openMergesFiles()
{
    open(writeFile(u"three.txt"_s, "pear\r\napple\r\nfig\r\n"));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"3"_s);
    open(writeFile(u"two.txt"_s, "banana\r\ncherry\r\n"));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"5"_s);
    QCOMPARE(shownEntries(),
             (QStringList{u"apple"_s, u"banana"_s, u"cherry"_s, u"fig"_s, u"pear"_s}));
    QCOMPARE(m_host->messages().size(), 0);
}

void tst_Form1::openOfEmptyFileShowsZero()
{
    open(writeFile(u"empty.txt"_s, QByteArray()));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"0"_s);
    QCOMPARE(shownEntries(), QStringList());
    QVERIFY(shownWindow<Form2>());
}

void tst_Form1::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); // none: the name is not created as a file

    QTest::newRow("missing file") << u"missing.txt"_s << QByteArray();
    QTest::newRow("directory") << u"folder.txt"_s << QByteArray();
    QTest::newRow("UTF-16 text") << u"wide.txt"_s
                                 << QByteArray("\xff\xfe"
                                               "a\0\r\0\n\0",
                                               8);
}

void tst_Form1::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);

    // What was read before stays.
    open(writeFile(u"before.txt"_s, "b\r\na\r\n"));
    const QPointer<Form2> firstProgress = shownWindow<Form2>();

    QString path = m_dir->filePath(name);
    if (name.startsWith(u"folder"))
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    else if (!contents.isEmpty())
        path = writeFile(name, contents);
    m_host->calls.clear();
    bool shownDuringMessage = false;
    m_host->onCall = [&](const HostCall &) {
        shownDuringMessage = m_form->isVisible();
    };
    open(path);

    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().style, MessageStyle::Warning);
    QCOMPARE(messages.first().title, u"Error"_s);
    const QString start = u"Could not read the file\r\n"_s + path + u"\r\n\r\n"_s;
    QVERIFY2(messages.first().prompt.startsWith(start), qPrintable(messages.first().prompt));
    QVERIFY(messages.first().prompt.size() > start.size()); // and says why
    QVERIFY(shownDuringMessage);
    QVERIFY(m_form->isVisible());
    QVERIFY(!shownWindow<Form2>());
    QTRY_VERIFY(!firstProgress);
    QCOMPARE(shownEntries(), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"2"_s);
}

void tst_Form1::fullList_data()
{
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<int>("linesInFile");
    QTest::addColumn<int>("countAfter");

    QTest::newRow("file fills the list exactly") << 0 << 32767 << 32767;
    QTest::newRow("file one line too long") << 0 << 32768 << 0;
    QTest::newRow("one more line into a full list") << 32767 << 1 << 32767;
}

void tst_Form1::fullList()
{
    QFETCH(int, linesBefore);
    QFETCH(int, linesInFile);
    QFETCH(int, countAfter);

    if (linesBefore > 0) {
        open(writeFile(u"before.txt"_s, numberedLines(linesBefore)));
        QCOMPARE(m_host->messages().size(), 0);
    }
    open(writeFile(u"list.txt"_s, numberedLines(linesInFile)));
    QCOMPARE(m_form->List1().rowCount(), countAfter);
    QCOMPARE(m_form->StatusBar1().panelText(2), QString::number(countAfter));
    const bool refused = countAfter < linesBefore + linesInFile;
    QCOMPARE(m_host->messages().size(), refused ? 1 : 0);
    if (refused) {
        const HostCall message = m_host->messages().first();
        QCOMPARE(message.title, u"Error"_s);
        QCOMPARE(message.style, MessageStyle::Warning);
        // The file was read; the list had no room for it.
        QVERIFY2(message.prompt.startsWith(u"Could not add the file\r\n"_s),
                 qPrintable(message.prompt));
        QVERIFY(message.prompt.contains(QString::number(linesInFile)));
        QVERIFY(m_form->isVisible());
        QVERIFY(!shownWindow<Form2>());
    } else {
        QCOMPARE(shownEntries().first(), u"line 00001"_s);
        QCOMPARE(shownEntries().last(), u"line 32767"_s);
    }
}

void tst_Form1::progressWindowClosedEarly()
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

void tst_Form1::filesFromOutside_data()
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
void tst_Form1::filesFromOutside()
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
        QDragEnterEvent enter(QPoint(20, 40), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 40), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_form.get(), &drop);
        QVERIFY(drop.isAccepted());
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

void tst_Form1::saveOfEmptyList()
{
    action(u"mnuSave"_s)->trigger();
    QCOMPARE(m_host->calls.size(), 1);
    const HostCall &call = m_host->calls.first();
    QCOMPARE(call.kind, HostCall::Message);
    QCOMPARE(call.prompt, u"There's nothing to save!"_s);
    QCOMPARE(call.style, MessageStyle::OkOnly);
    QCOMPARE(call.title, u"Error"_s);
}

void tst_Form1::cancelledSaveWritesNothing()
{
    open(writeFile(u"list.txt"_s, "a\r\n"));
    m_host->calls.clear();
    const QStringList filesBefore = QDir(m_dir->path()).entryList(QDir::AllEntries);
    m_host->saveNames.enqueue(QString());
    m_form->mnuSave_Click();

    QCOMPARE(m_host->calls.size(), 1);
    const HostCall &call = m_host->calls.first();
    QCOMPARE(call.kind, HostCall::SaveDialog);
    QCOMPARE(call.settings.DialogTitle, u"Save file as..."_s);
    QCOMPARE(call.settings.DefaultExt, u"txt"_s);
    QCOMPARE(call.settings.FileName, u"Alphabetized File"_s);
    QCOMPARE(call.settings.Filter, u"*.txt"_s);
    // It starts in the folder of the list just read.
    QCOMPARE(call.settings.Directory, m_dir->path());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries), filesBefore);
    QCOMPARE(m_form->SavePath, QString());
}

void tst_Form1::failedSave_data()
{
    QTest::addColumn<QString>("target"); // under the test folder

    QTest::newRow("path under a regular file") << u"list.txt/out.txt"_s;
    QTest::newRow("existing folder") << u"folder"_s;
}

void tst_Form1::failedSave()
{
    QFETCH(QString, target);

    const QByteArray original = "b\r\na\r\n";
    const QString listPath = writeFile(u"list.txt"_s, original);
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));
    open(listPath);
    m_host->calls.clear();
    const QString path = m_dir->filePath(target);
    m_host->saveNames.enqueue(path);
    m_form->mnuSave_Click();

    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().style, MessageStyle::Warning);
    QCOMPARE(messages.first().title, u"Error"_s);
    const QString start = u"Could not save the file\r\n"_s + path + u"\r\n\r\n"_s;
    QVERIFY2(messages.first().prompt.startsWith(start), qPrintable(messages.first().prompt));
    QVERIFY(messages.first().prompt.size() > start.size());

    QFile file(listPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), original);
    QVERIFY(QFileInfo(m_dir->filePath(u"folder"_s)).isDir());
}

void tst_Form1::save()
{
    open(writeFile(u"first.txt"_s, "pear\r\napple  \r\n"));
    open(writeFile(u"second.txt"_s, "fig"));
    const QString path = writeFile(u"out.txt"_s, "old contents, longer than the new\r\n");
    m_host->calls.clear();
    m_host->saveNames.enqueue(path);
    action(u"mnuSave"_s)->trigger();

    QCOMPARE(m_form->SavePath, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("apple\r\nfig\r\npear\r\n"));
    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().prompt, u"File was saved successfully!"_s);
    QCOMPARE(messages.first().style, MessageStyle::OkOnly);
    QCOMPARE(messages.first().title, u"Finished"_s);
}

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
