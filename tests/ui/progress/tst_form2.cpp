#include "fakehostui.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "progress/form2.h"
#include "progressrun.h"
#include "shownwindow.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;
using namespace ProgressTest;

class tst_Form2 : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void windowOnLoad();
    void ticks_data();
    void ticks();
    void closedBeforeFinishBringsMainWindowBack_data();
    void closedBeforeFinishBringsMainWindowBack();
    void nextOpenLoadsFreshWindow();
    void realTimerPlaysWholeSequence();
};

void tst_Form2::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");

    // 15 twips to the pixel at 96 dots per inch.
    QTest::newRow("Frame1") << u"Frame1"_s << u"Form2"_s << QRect(0, 0, 297, 57);
    QTest::newRow("Label1") << u"Label1"_s << u"Frame1"_s << QRect(16, 16, 273, 17);
    QTest::newRow("progress bar") << u"vbalProgressBar1"_s << u"Frame1"_s << QRect(8, 32, 281, 17);
    QTest::newRow("hidden button") << u"mnuSave"_s << u"Form2"_s << QRect(112, 16, 81, 33);
}

void tst_Form2::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);

    ProgressRun run;
    QCOMPARE(run.form2->screen()->logicalDotsPerInchX(), 96.0);
    const QWidget *const control = run.form2->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parentName);
    QCOMPARE(control->geometry(), geometry);
}

void tst_Form2::windowOnLoad()
{
    ProgressRun run;
    Form2 &form2 = *run.form2;
    // The window's flags, placing and font are tst_form1's, beside the main
    // window's.
    QCOMPARE(form2.size(), QSize(298, 58));
    QCOMPARE(run.label()->text(), u"Sorting text..."_s);

    const auto *const bar = form2.findChild<QProgressBar *>(u"vbalProgressBar1"_s);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(form2.ProgressValue(), 0);
    QVERIFY(!bar->isTextVisible());
    // A screen reader reaching the window lands on the bar.
    QCOMPARE(bar->focusPolicy(), Qt::TabFocus);

    const auto *const button = form2.findChild<QPushButton *>(u"mnuSave"_s);
    QCOMPARE(button->text(), u"Command1"_s);
    QVERIFY(!button->isVisible());
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);

    // A fresh window is ticking from its load.
    const Form2 ticking(run.host);
    const auto *const timer = ticking.findChild<QTimer *>(u"Timer1"_s);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 120);
}

void tst_Form2::ticks_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("label");

    const QString sorting = u"Sorting text..."_s;
    const QString waiting = u"Please wait..."_s;
    const QList<std::pair<int, QString>> rows = {
            {1, sorting},  {4, sorting},  {5, sorting},  {9, sorting},
            {10, waiting}, {14, waiting}, {15, sorting}, {20, waiting},
            {40, waiting}, {44, waiting}, {45, sorting}, {49, sorting},
    };
    for (const auto &[count, label] : rows)
        QTest::addRow("tick %d", count) << count << label;
}

void tst_Form2::ticks()
{
    QFETCH(int, count);
    QFETCH(QString, label);

    ProgressRun run;
    run.tick(count);
    QCOMPARE(run.form2->ProgressValue(), 2 * count);
    QCOMPARE(run.label()->text(), label);
    // Screen readers find the status on the window, on the bar and as the
    // label's text.
    const QAccessibleInterface *window = QAccessible::queryAccessibleInterface(run.form2);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), u"Progress"_s);
    QCOMPARE(window->text(QAccessible::Description), label);
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(
            run.form2->findChild<QProgressBar *>(u"vbalProgressBar1"_s));
    QCOMPARE(bar->role(), QAccessible::ProgressBar);
    QCOMPARE(bar->text(QAccessible::Name), u"Sorting progress"_s);
    QCOMPARE(bar->text(QAccessible::Description), label);
    QCOMPARE(bar->valueInterface()->currentValue().toInt(), 2 * count);
    const QAccessibleInterface *text = QAccessible::queryAccessibleInterface(run.label());
    QCOMPARE(text->role(), QAccessible::StaticText);
    QCOMPARE(text->text(QAccessible::Name), label);
    QVERIFY(run.form2->isVisible());
    QVERIFY(!run.form1.isVisible());
    QVERIFY(run.host.calls.isEmpty());
}

void tst_Form2::closedBeforeFinishBringsMainWindowBack_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("throughWindow");

    QTest::newRow("at load") << 0 << false;
    QTest::newRow("mid-sequence") << 20 << false;
    QTest::newRow("one tick before the end") << 49 << false;
    QTest::newRow("by the window system") << 20 << true;
}

void tst_Form2::closedBeforeFinishBringsMainWindowBack()
{
    QFETCH(int, ticks);
    QFETCH(bool, throughWindow);

    ProgressRun run("pear\r\n");
    run.timer()->start();
    run.tick(ticks);
    const QTimer *const timer = run.timer();
    QVERIFY(throughWindow ? run.form2->windowHandle()->close() : run.form2->close());
    QVERIFY(!timer->isActive());
    QVERIFY(run.form1.isVisible());
    QTRY_VERIFY(run.form2.isNull());
    QVERIFY(run.host.calls.isEmpty());
    QCOMPARE(run.form1.List1().rowCount(), 1);
}

void tst_Form2::nextOpenLoadsFreshWindow()
{
    FakeHostUi host;
    Form1 form1(host);
    const TestFolder dir;
    const QString input = dir.writeFile(u"input.txt"_s, "pear\r\napple\r\n");

    for (int open = 1; open <= 2; ++open) {
        host.openNames.enqueue(input);
        form1.mnuOpen_Click();
        const QPointer<Form2> form2 = shownWindow<Form2>();
        QVERIFY(form2);
        QVERIFY(FilesRead::waitUntilRead(form1.List1()));
        auto *const timer = form2->findChild<QTimer *>(u"Timer1"_s);
        QVERIFY(timer->isActive());
        QCOMPARE(form2->ProgressValue(), 0);
        QCOMPARE(form2->findChild<QLabel *>(u"Label1"_s)->text(), u"Sorting text..."_s);
        timer->stop();
        for (int tick = 0; tick < 50; ++tick)
            form2->Timer1_Timer();
        QTRY_VERIFY(form2.isNull());
        QVERIFY(form1.isVisible());
    }
}

void tst_Form2::realTimerPlaysWholeSequence()
{
    ProgressRun run;
    QElapsedTimer clock;
    qint64 promptAfter = -1;
    run.host.onCall = [&](const HostCall &) {
        promptAfter = clock.elapsed();
    };

    clock.start();
    run.timer()->start();
    QPointer<Form2> &form2 = run.form2;
    // 50 ticks of 120 ms: about 6 seconds, more on a busy machine.
    QTRY_VERIFY_WITH_TIMEOUT(form2.isNull(), 20000);
    QCOMPARE(run.host.calls.size(), 1);
    QCOMPARE(run.host.calls.first().prompt, SavePrompt);
    QVERIFY2(promptAfter >= 5000 && promptAfter <= 15000, qPrintable(QString::number(promptAfter)));
    QVERIFY(run.form1.isVisible());
}

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
