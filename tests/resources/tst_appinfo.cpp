#include "resources/appinfo.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

// The icon compiled into the program, and the program's self-description
// agreeing with its desktop entry.
class TestAppInfo : public QObject
{
    Q_OBJECT

private slots:
    void iconHasEverySize_data();
    void iconHasEverySize();
    void applyApplicationInfoSetsNamesAndIcon();
    void desktopEntryAgrees_data();
    void desktopEntryAgrees();
};

void TestAppInfo::iconHasEverySize_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16 px") << 16;
    QTest::newRow("24 px") << 24;
    QTest::newRow("32 px") << 32;
    QTest::newRow("48 px") << 48;
    QTest::newRow("64 px") << 64;
    QTest::newRow("128 px") << 128;
}

void TestAppInfo::iconHasEverySize()
{
    QFETCH(int, size);
    // The PNG must be linked in from the static resource library, not just
    // named by the icon: a missing resource would give a null pixmap.
    const QPixmap image(u":/icons/lexivorn-%1.png"_s.arg(size));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());

    const QIcon icon = AppInfo::applicationIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    QCOMPARE(icon.pixmap(QSize(size, size)).toImage(), image.toImage());
}

void TestAppInfo::applyApplicationInfoSetsNamesAndIcon()
{
    AppInfo::applyApplicationInfo();
    QCOMPARE(QCoreApplication::applicationName(), u"Lexivorn"_s);
    QCOMPARE(QCoreApplication::applicationVersion(), AppInfo::Version.toString());
    QCOMPARE(QCoreApplication::organizationName(), AppInfo::Organization.toString());
    QCOMPARE(QGuiApplication::desktopFileName(), AppInfo::DesktopId.toString());
    QCOMPARE(QGuiApplication::windowIcon().availableSizes().size(), 6);
    // Left unset on purpose: Qt would append it to other windows' titles.
    QCOMPARE(QGuiApplication::applicationDisplayName(), AppInfo::Name.toString());
}

void TestAppInfo::desktopEntryAgrees_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Name") << u"Name"_s << AppInfo::Name.toString();
    QTest::newRow("Comment") << u"Comment"_s << AppInfo::Description.toString();
    QTest::newRow("Icon") << u"Icon"_s << AppInfo::DesktopId.toString();
    QTest::newRow("Exec") << u"Exec"_s << u"lexivorn %F"_s;
}

void TestAppInfo::desktopEntryAgrees()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString path = QStringLiteral(LEXIVORN_DESKTOP_ENTRY);
    QVERIFY2(path.endsWith(AppInfo::DesktopId + u".desktop"_s), qPrintable(path));
    QVERIFY(QFile::exists(path));
    // A desktop entry is close enough to an INI file for these plain keys.
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(u"Desktop Entry"_s);
    QCOMPARE(entry.value(key).toString(), expected);
}

QTEST_MAIN(TestAppInfo)
#include "tst_appinfo.moc"
