#include "platformchoice.h"

#include <QProcessEnvironment>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_PlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    void choosePlatform_data();
    void choosePlatform();
};

void tst_PlatformChoice::choosePlatform_data()
{
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<QString>("platform"); // empty: Qt's own choice
    QTest::addColumn<bool>("displayMissing"); // the program says so and ends

    const QString x11First = u"xcb;wayland"_s;
    QTest::newRow("Wayland desktop with XWayland")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_s, u"DISPLAY=:0"_s} << x11First << false;
    QTest::newRow("X11 desktop") << QStringList{u"DISPLAY=:1"_s} << x11First << false;
    QTest::newRow("Wayland without X server")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_s} << QString() << false;
    QTest::newRow("empty DISPLAY")
            << QStringList{u"DISPLAY="_s, u"WAYLAND_DISPLAY=w"_s} << QString() << false;
    QTest::newRow("no display at all") << QStringList{} << QString() << true;
    QTest::newRow("empty DISPLAY and WAYLAND_DISPLAY")
            << QStringList{u"DISPLAY="_s, u"WAYLAND_DISPLAY="_s} << QString() << true;
    QTest::newRow("user chose X11, no display")
            << QStringList{u"QT_QPA_PLATFORM=xcb"_s} << QString() << true;
    QTest::newRow("user chose Wayland then X11, no display")
            << QStringList{u"QT_QPA_PLATFORM=wayland-egl;xcb"_s} << QString() << true;
    QTest::newRow("user chose offscreen, no display")
            << QStringList{u"QT_QPA_PLATFORM=offscreen"_s} << QString() << false;
    QTest::newRow("user chose VNC with options, no display")
            << QStringList{u"QT_QPA_PLATFORM=vnc:size=800x600"_s} << QString() << false;
    QTest::newRow("user chose Wayland")
            << QStringList{u"QT_QPA_PLATFORM=wayland"_s, u"DISPLAY=:0"_s} << QString() << false;
    QTest::newRow("user chose offscreen")
            << QStringList{u"QT_QPA_PLATFORM=offscreen"_s, u"DISPLAY=:0"_s} << QString() << false;
    QTest::newRow("empty choice is no choice")
            << QStringList{u"QT_QPA_PLATFORM="_s, u"DISPLAY=:0"_s} << x11First << false;
}

void tst_PlatformChoice::choosePlatform()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, platform);
    QFETCH(bool, displayMissing);

    QProcessEnvironment environment;
    for (const QString &variable : variables)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QCOMPARE(::choosePlatform(environment), platform);
    QCOMPARE(!missingDisplay(environment).isEmpty(), displayMissing);
}

QTEST_GUILESS_MAIN(tst_PlatformChoice)
#include "tst_platformchoice.moc"
