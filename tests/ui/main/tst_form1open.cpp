#include "fakehostui.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "mainwindow/statuspanels.h"
#include "mainwindowfixture.h"
#include "progress/form2.h"
#include "shownwindow.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Form1Open : public QObject, protected MainWindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cancelledOpenChangesNothing();
    void opens_data();
    void opens();
    void unreadableFile_data();
    void unreadableFile();
    void fullList_data();
    void fullList();
};

void tst_Form1Open::init()
{
    showMainWindow();
}

void tst_Form1Open::cleanup()
{
    dropMainWindow();
}

static QByteArray numberedLines(int count)
{
    QByteArray bytes;
    for (int line = count; line > 0; --line)
        bytes += "line " + QByteArray::number(line).rightJustified(5, '0') + "\r\n";
    return bytes;
}

void tst_Form1Open::cancelledOpenChangesNothing()
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

void tst_Form1Open::opens_data()
{
    QTest::addColumn<QByteArrayList>("files"); // opened one after another
    QTest::addColumn<QStringList>("counts"); // panel 2 after each Open
    QTest::addColumn<QStringList>("entries"); // shown at the end

    QTest::newRow("two files merge into one list")
            << QByteArrayList{"pear\r\napple\r\nfig\r\n", "banana\r\ncherry\r\n"}
            << QStringList{u"3"_s, u"5"_s}
            << QStringList{u"apple"_s, u"banana"_s, u"cherry"_s, u"fig"_s, u"pear"_s};
    QTest::newRow("an empty file shows 0")
            << QByteArrayList{""} << QStringList{u"0"_s} << QStringList{};
    QTest::newRow("the same file twice keeps every line twice")
            << QByteArrayList{"pear\r\napple\r\n", "pear\r\napple\r\n"}
            << QStringList{u"2"_s, u"4"_s}
            << QStringList{u"apple"_s, u"apple"_s, u"pear"_s, u"pear"_s};
}

void tst_Form1Open::opens()
{
    QFETCH(QByteArrayList, files);
    QFETCH(QStringList, counts);
    QFETCH(QStringList, entries);

    for (qsizetype i = 0; i < files.size(); ++i) {
        open(writeFile(u"list %1.txt"_s.arg(i), files[i]));
        QVERIFY(shownWindow<Form2>());
        QCOMPARE(m_form->StatusBar1().panelText(2), counts[i]);
    }
    QCOMPARE(shownEntries(), entries);
    QCOMPARE(m_host->messages().size(), 0);
}

void tst_Form1Open::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); // none: the name is not created as a file
    QTest::addColumn<bool>("cutShort"); // by another program while it is read
    QTest::addColumn<QString>("shownName"); // how the name ends in the box; empty: as the path

    QTest::newRow("missing file") << u"missing.txt"_s << QByteArray() << false << QString();
    QTest::newRow("directory") << u"folder.txt"_s << QByteArray() << false << QString();
    QTest::newRow("UTF-16 text") << u"wide.txt"_s
                                 << QByteArray("\xff\xfe"
                                               "a\0\r\0\n\0",
                                               8)
                                 << false << QString();
    QTest::newRow("file cut short while read")
            << u"cut.txt"_s << "line\r\n"_ba.repeated(100'000) << true << QString();
    // A name can neither add lines of its own to the box nor read backwards.
    QTest::newRow("name with line ends and a direction override")
            << u"x\r\nText was sorted successfully.\u202Etxt.exe"_s << QByteArray() << false
            << u"x‹CR›¶Text was sorted successfully.‹RLO›txt.exe"_s;
    QTest::newRow("long name cut in the middle")
            << QString(300, u'n') + u"\u202E.txt"_s << QByteArray() << false << u"nnnnn‹RLO›.txt"_s;
}

void tst_Form1Open::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(bool, cutShort);
    QFETCH(QString, shownName);
    if (cutShort && !qEnvironmentVariable("LD_PRELOAD").contains(u"cutshort"_s))
        QSKIP("needs lexivorn_cutshort preloaded, as CTest runs this test");

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
    if (cutShort) {
        qputenv("LEXIVORN_CUT_FILE", QFile::encodeName(path));
        qputenv("LEXIVORN_CUT_AT", "200000");
        qputenv("LEXIVORN_CUT_TO", "100000");
    }
    open(path);
    qunsetenv("LEXIVORN_CUT_FILE");

    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().style, MessageStyle::Warning);
    QCOMPARE(messages.first().title, u"Error"_s);
    const QStringList lines = messages.first().prompt.split(u"\r\n"_s);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], u"Could not read the file"_s);
    if (shownName.isEmpty()) {
        QCOMPARE(lines[1], path);
    } else {
        QVERIFY2(lines[1].endsWith(shownName), qPrintable(lines[1]));
        QVERIFY2(lines[1].startsWith(m_dir->path().left(4)), qPrintable(lines[1]));
        QVERIFY2(lines[1].size() <= 100, qPrintable(lines[1]));
    }
    QCOMPARE(lines[2], QString());
    QVERIFY(!lines[3].isEmpty()); // says why
    QVERIFY(shownDuringMessage);
    QVERIFY(m_form->isVisible());
    QVERIFY(!shownWindow<Form2>());
    QTRY_VERIFY(!firstProgress);
    QCOMPARE(shownEntries(), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(m_form->StatusBar1().panelText(2), u"2"_s);
}

void tst_Form1Open::fullList_data()
{
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<int>("linesInFile");
    QTest::addColumn<int>("countAfter");

    QTest::newRow("file fills the list exactly") << 0 << 32767 << 32767;
    QTest::newRow("file one line too long") << 0 << 32768 << 0;
    QTest::newRow("one more line into a full list") << 32767 << 1 << 32767;
}

void tst_Form1Open::fullList()
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

QTEST_MAIN(tst_Form1Open)
#include "tst_form1open.moc"
