#include "fakehostui.h"
#include "heldread.h"
#include "host/windowkeeper.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "mainwindow/statuspanels.h"
#include "mainwindowfixture.h"
#include "progress/form2.h"
#include "shownwindow.h"

#include <optional>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListView>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

using namespace Qt::StringLiterals;

class tst_Form1 : public QObject, protected MainWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void geometry();
    void windowLook_data();
    void windowLook();
    void entryRows_data();
    void entryRows();
    void startsEmpty();
    void menuBar();
    void separatorsDoNothing();
    void closeIsRefused_data();
    void closeIsRefused();
    void about();
    void exitEndsTheEventLoop_data();
    void exitEndsTheEventLoop();
};

void tst_Form1::initTestCase()
{
    // Every size below is what the twips come to at 96 DPI.
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96.0);
}

void tst_Form1::init()
{
    showMainWindow();
}

void tst_Form1::cleanup()
{
    dropMainWindow();
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

    // A window larger than the screen, as on a short screen or at a large
    // scale, keeps its title bar on the screen.
    const QRect available = form.screen()->availableGeometry();
    QWidget tall;
    tall.setFixedSize(available.width() / 2, available.height() + 200);
    centreOnScreen(&tall);
    tall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tall));
    QTRY_COMPARE(tall.frameGeometry().top(), available.top());
    QTRY_VERIFY(qAbs(tall.frameGeometry().center().x() - available.center().x()) <= 1);
}

void tst_Form1::windowLook_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("wanted"); // Qt::WindowFlags the window must have
    QTest::addColumn<int>("unwanted"); // and those it must not
    QTest::addColumn<QStringList>("fontWidgets"); // in the windows' one font

    using enum Qt::WindowType;
    QTest::newRow("main window") << u"Form1"_s << u"Lexivorn v1.0"_s
                                 << int(CustomizeWindowHint | WindowTitleHint)
                                 << int(FramelessWindowHint | WindowMinimizeButtonHint
                                        | WindowMaximizeButtonHint | WindowStaysOnTopHint)
                                 << QStringList{u"Form1"_s, u"List1"_s, u"StatusBar1"_s};
    // Other windows raised meanwhile must not hide the progress window.
    QTest::newRow("progress window")
            << u"Form2"_s << QString() << int(FramelessWindowHint | WindowStaysOnTopHint)
            << int(WindowMinimizeButtonHint | WindowMaximizeButtonHint)
            << QStringList{u"Form2"_s, u"Label1"_s, u"mnuSave"_s};
}

void tst_Form1::windowLook()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(int, wanted);
    QFETCH(int, unwanted);
    QFETCH(QStringList, fontWidgets);

    QWidget *shown = m_form.get();
    if (window == u"Form2"_s) {
        open(writeFile(u"list.txt"_s, "a\r\n"));
        shown = shownWindow<Form2>();
        QVERIFY(shown);
    }
    QCOMPARE(shown->objectName(), window);
    QCOMPARE(shown->windowTitle(), title);
    // Both are normal windows: window managers give such a window the
    // keyboard, and list it in Alt+Tab.
    QCOMPARE(shown->windowType(), Qt::Window);
    const auto flags = int(shown->windowFlags());
    QCOMPARE(flags & wanted, wanted);
    QCOMPARE(flags & unwanted, 0);
    QCOMPARE(shown->minimumSize(), shown->maximumSize());
    // Centred on the screen, frame included.
    const QRect available = shown->screen()->availableGeometry();
    QTRY_VERIFY((shown->frameGeometry().center() - available.center()).manhattanLength() <= 2);
    for (const QString &name : fontWidgets) {
        const QWidget *widget = name == window ? shown : shown->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        // Arial, or its metric twin where Arial is not installed.
        QVERIFY2(QStringList({u"Arial"_s, u"Liberation Sans"_s}).contains(widget->font().family()),
                 qPrintable(widget->font().family()));
        QCOMPARE(widget->font().pointSizeF(), 8.25);
        QVERIFY(widget->font().bold());
    }
}

void tst_Form1::entryRows_data()
{
    // One entry, last in a list with a short one: the view sizes every row
    // by its last.
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("toolTip"); // empty where the row shows the entry whole

    QTest::newRow("line ends inside an entry drawn as marks, one line high")
            << QByteArray("pear\napple\nbanana") << u"pear¶apple¶banana"_s << QString();
    QTest::newRow("bidirectional controls drawn as marks, nothing reordered")
            << QByteArray("c \u202Etxt.exe\u202C \u2067x y\u2069")
            << u"c ‹RLO›txt.exe‹PDF› ‹RLI›x y‹PDI›"_s << QString();
    QTest::newRow("invisible direction marks drawn as marks")
            << QByteArray("account \u200F1111 2222\u200F \u200Ex\u061Cy")
            << u"account ‹RLM›1111 2222‹RLM› ‹LRM›x‹ALM›y"_s << QString();
    QTest::newRow("right-to-left text as written")
            << QByteArray("שלום עולם") << u"שלום עולם"_s << QString();
    QTest::newRow("cut-off entry readable in its tooltip")
            << QByteArray("a<b>" + QByteArray(3000, 'w')) << u"a<b>"_s + QString(3000, u'w')
            << u"a&lt;b&gt;"_s + QString(396, u'w') + u'…';
}

void tst_Form1::entryRows()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, shown);
    QFETCH(QString, toolTip);

    QVERIFY(FilesRead::addFile(m_form->List1(), writeFile(u"list.txt"_s, entry + "\r\na\r\n")).ok());
    QCOMPARE(m_form->List1().entries().Item(1), entry);
    QListView *list = m_form->findChild<QListView *>(u"List1"_s);
    const QModelIndex row = list->model()->index(1, 0);
    QCOMPARE(row.data().toString(), shown);
    QVERIFY(list->visualRect(row).height() < 2 * list->fontMetrics().height());
    // Rows are cut off at the right edge rather than scrolled to, and the
    // user selects one row at a time.
    QApplication::processEvents();
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    const QModelIndex first = list->model()->index(0, 0);
    QCOMPARE(list->visualRect(row).height(), list->visualRect(first).height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(row).center());
    QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{row});

    const QPoint inside = list->visualRect(row).center();
    QHelpEvent help(QEvent::ToolTip, inside, list->viewport()->mapToGlobal(inside));
    QApplication::sendEvent(list->viewport(), &help);
    if (toolTip.isEmpty())
        QTRY_VERIFY(!QToolTip::isVisible());
    else
        QVERIFY2(QToolTip::isVisible() && QToolTip::text().contains(toolTip),
                 qPrintable(QToolTip::text()));
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

    // The button for commands that do not fit shows the style's own icon,
    // though it is made only when first drawn.
    const auto *extension = m_form->menuBar()->findChild<QToolButton *>(u"qt_menubar_ext_button"_s);
    QVERIFY(extension);
    const auto *style = qobject_cast<QProxyStyle *>(QApplication::style());
    const QImage expected = style->baseStyle()
                                    ->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton)
                                    .pixmap(16)
                                    .toImage();
    QVERIFY(!expected.isNull());
    QCOMPARE(extension->icon().pixmap(16).toImage(), expected);
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

void tst_Form1::exitEndsTheEventLoop_data()
{
    QTest::addColumn<bool>("duringRead"); // the file held up, as on a slow disk

    QTest::newRow("with a list read") << false;
    QTest::newRow("while a file is read") << true;
}

void tst_Form1::exitEndsTheEventLoop()
{
    QFETCH(bool, duringRead);
    if (duringRead && !HeldRead::isAvailable())
        QSKIP("needs lexivorn_heldread preloaded, as CTest runs this test");

    const QString path = writeFile(u"list.txt"_s, "b\r\na\r\n");
    // Unsaved entries do not hold the program up, nor does a file being read.
    std::optional<HeldRead> hold;
    open(path, duringRead, hold);
    m_host->calls.clear();
    QTimer::singleShot(0, action(u"mnuExit"_s), &QAction::trigger);
    // Should Exit fail to end the loop, this ends it with another status.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(10'000);
    QCOMPARE(QApplication::exec(), 0);
    // The program ends with the read still under way.
    QCOMPARE(m_form->List1().isAddingFiles(), duringRead);
    QVERIFY(m_host->calls.isEmpty());
}

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
