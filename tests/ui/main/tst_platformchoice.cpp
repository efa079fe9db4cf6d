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

    const QString x11First = u"xcb;wayland"_s;
    QTest::newRow("Wayland desktop with XWayland")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_s, u"DISPLAY=:0"_s} << x11First;
    QTest::newRow("X11 desktop") << QStringList{u"DISPLAY=:1"_s} << x11First;
    QTest::newRow("Wayland without X server")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_s} << QString();
    QTest::newRow("empty DISPLAY")
            << QStringList{u"DISPLAY="_s, u"WAYLAND_DISPLAY=w"_s} << QString();
    QTest::newRow("no display at all") << QStringList{} << QString();
    QTest::newRow("user chose Wayland")
            << QStringList{u"QT_QPA_PLATFORM=wayland"_s, u"DISPLAY=:0"_s} << QString();
    QTest::newRow("user chose offscreen")
            << QStringList{u"QT_QPA_PLATFORM=offscreen"_s, u"DISPLAY=:0"_s} << QString();
    QTest::newRow("empty choice is no choice")
            << QStringList{u"QT_QPA_PLATFORM="_s, u"DISPLAY=:0"_s} << x11First;
}

void tst_PlatformChoice::choosePlatform()
{
    QFETCH(QStringList, variables);
    QFETCH(QString, platform);

    QProcessEnvironment environment;
    for (const QString &variable : variables)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QCOMPARE(::choosePlatform(environment), platform);
}

QTEST_GUILESS_MAIN(tst_PlatformChoice)
#include "tst_platformchoice.moc"
