#include "mainwindow/statuspanels.h"

#include <QAccessible>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

static const QLabel *panelOf(const StatusPanels &bar, int panel)
{
    return bar.findChild<QLabel *>(u"Panel%1"_s.arg(panel));
}

class tst_StatusPanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void panels_data();
    void panels();
    void panelsFitInsideTheBar();
    void clockShowsShortTimeAndDate_data();
    void clockShowsShortTimeAndDate();
    void clockWakesAtTheNextMinute();
};

void tst_StatusPanels::initTestCase()
{
    StatusPanels bar;
    QCOMPARE(bar.logicalDpiX(), 96);
}

void tst_StatusPanels::panels_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("role"); // what a screen reader says the panel shows

    const QString notice = u"© 2026 The Lexivorn developers"_s;
    QTest::newRow("1 rights notice") << 1 << 200 << notice << u"Rights notice"_s;
    QTest::newRow("2 entry count")
            << 2 << 133 << u"How many entries in the current list"_s << u"Entry count"_s;
    QTest::newRow("3 time") << 3 << 96 << u"Current time"_s << u"Current time"_s;
    QTest::newRow("4 date") << 4 << 96 << u"Current date"_s << u"Current date"_s;
}

void tst_StatusPanels::panels()
{
    QFETCH(int, panel);
    QFETCH(int, width);
    QFETCH(QString, toolTip);
    QFETCH(QString, role);

    StatusPanels bar;
    const QLabel *label = panelOf(bar, panel);
    QVERIFY(label);
    QCOMPARE(label->width(), width);
    QCOMPARE(label->minimumWidth(), width);
    QCOMPARE(label->toolTip(), toolTip);
    QCOMPARE(label->frameShadow(), QFrame::Sunken);
    if (panel <= 2) // panel 1 shows its notice; panel 2 is empty until an Open
        QCOMPARE(bar.panelText(panel), panel == 1 ? toolTip : QString());

    // Screen readers hear what the panel is and what it shows, and hear it
    // change.
    QAccessibleInterface *spoken =
            QAccessible::queryAccessibleInterface(const_cast<QLabel *>(label));
    QCOMPARE(spoken->role(), QAccessible::StaticText);
    const QString shown = bar.panelText(panel);
    QCOMPARE(spoken->text(QAccessible::Name), shown.isEmpty() ? role : role + u": "_s + shown);
    bar.setPanelText(panel, u"6"_s);
    QCOMPARE(spoken->text(QAccessible::Name), role + u": 6"_s);
}

void tst_StatusPanels::panelsFitInsideTheBar()
{
    StatusPanels bar;
    bar.setFixedSize(529, 17);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QVERIFY(!bar.isSizeGripEnabled());
    QCOMPARE(panelOf(bar, 1)->x(), 0);
    for (int panel = 1; panel <= 4; ++panel) {
        const QRect geometry = panelOf(bar, panel)->geometry();
        QVERIFY2(bar.rect().contains(geometry), qPrintable(u"panel %1"_s.arg(panel)));
        QCOMPARE(geometry.height(), bar.height());
        if (panel > 1)
            QVERIFY(geometry.left() > panelOf(bar, panel - 1)->geometry().right());
    }
}

void tst_StatusPanels::clockShowsShortTimeAndDate_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");

    // The C locale's month is a word in Qt 6.4 and 6.8 ("7 Dec 2026"), a
    // number in Qt 6.11 ("7 12 2026").
    QTest::newRow("C: seconds left out")
            << QLocale::c() << u"^\\d\\d:\\d\\d$"_s << u"^\\d{1,2} (\\w{3}|\\d{1,2}) \\d{4}$"_s;
    // \h: newer locale data puts a narrow no-break space before AM and PM.
    QTest::newRow("en_US: 12-hour clock")
            << QLocale(QLocale::English, QLocale::UnitedStates) << u"^\\d{1,2}:\\d\\d\\h[AP]M$"_s
            << u"^\\d{1,2}/\\d{1,2}/\\d{4}$"_s;
    QTest::newRow("de_DE: 24-hour clock")
            << QLocale(QLocale::German, QLocale::Germany) << u"^\\d\\d:\\d\\d$"_s
            << u"^\\d\\d\\.\\d\\d\\.\\d{4}$"_s;
}

void tst_StatusPanels::clockShowsShortTimeAndDate()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, time);
    QFETCH(QString, date);

    QLocale::setDefault(locale);
    const StatusPanels bar;
    QLocale::setDefault(QLocale::system());
    QVERIFY2(QRegularExpression(time).match(bar.panelText(3)).hasMatch(),
             qPrintable(bar.panelText(3)));
    QVERIFY2(QRegularExpression(date).match(bar.panelText(4)).hasMatch(),
             qPrintable(bar.panelText(4)));
}

void tst_StatusPanels::clockWakesAtTheNextMinute()
{
    StatusPanels bar;
    const QList<QTimer *> timers = bar.findChildren<QTimer *>();
    QCOMPARE(timers.size(), 1);
    const QTimer *clock = timers.first();
    QVERIFY(clock->isActive());
    QVERIFY(clock->isSingleShot());
    const int untilNextMinute = 60'000 - QTime::currentTime().msecsSinceStartOfDay() % 60'000;
    // Compared round the minute, in case it turned in between.
    const int difference = (clock->remainingTime() - untilNextMinute + 90'000) % 60'000 - 30'000;
    QVERIFY2(qAbs(difference) < 500, qPrintable(QString::number(clock->remainingTime())));
}

QTEST_MAIN(tst_StatusPanels)
#include "tst_statuspanels.moc"
