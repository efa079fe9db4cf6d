#include "fakehostui.h"
#include "mainwindow/form1.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Form1Save : public QObject, protected MainWindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveOfEmptyList();
    void cancelledSaveWritesNothing();
    void failedSave_data();
    void failedSave();
    void save_data();
    void save();
};

void tst_Form1Save::init()
{
    showMainWindow();
}

void tst_Form1Save::cleanup()
{
    dropMainWindow();
}

void tst_Form1Save::saveOfEmptyList()
{
    action(u"mnuSave"_s)->trigger();
    QCOMPARE(m_host->calls.size(), 1);
    const HostCall &call = m_host->calls.first();
    QCOMPARE(call.kind, HostCall::Message);
    QCOMPARE(call.prompt, u"There's nothing to save!"_s);
    QCOMPARE(call.style, MessageStyle::OkOnly);
    QCOMPARE(call.title, u"Error"_s);
}

void tst_Form1Save::cancelledSaveWritesNothing()
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
    QCOMPARE(m_form->SavePath(), QString());
}

void tst_Form1Save::failedSave_data()
{
    QTest::addColumn<QString>("target"); // under the test folder
    // The call that fails on the target's folder (see failcall.cpp), if any.
    QTest::addColumn<QByteArray>("failingCall");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QByteArray>("written"); // what the target holds afterwards, if a file

    const QString notSaved = u"Could not save the file"_s;
    QTest::newRow("path under a regular file")
            << u"list.txt/out.txt"_s << QByteArray() << notSaved << QByteArray();
    QTest::newRow("existing folder") << u"folder"_s << QByteArray() << notSaved << QByteArray();
    // The new file has taken the name; the folder's record of it may not
    // survive a power cut.
    QTest::newRow("folder not flushed once the new list is in place")
            << u"out.txt"_s << "fsync"_ba
            << u"Saved the file, but could not make sure it is on disk"_s << "a\r\nb\r\n"_ba;
}

void tst_Form1Save::failedSave()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, failingCall);
    QFETCH(QString, heading);
    QFETCH(QByteArray, written);
    if (!failingCall.isEmpty() && !qEnvironmentVariable("LD_PRELOAD").contains(u"failcall"_s))
        QSKIP("needs lexivorn_failcall preloaded, as CTest runs this test");

    const QByteArray original = "b\r\na\r\n";
    const QString listPath = writeFile(u"list.txt"_s, original);
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));
    open(listPath);
    m_host->calls.clear();
    const QString path = m_dir->filePath(target);
    m_host->saveNames.enqueue(path);
    if (!failingCall.isEmpty()) {
        qputenv("LEXIVORN_FAIL_CALL", failingCall);
        qputenv("LEXIVORN_FAIL_FILE", QFile::encodeName(path));
    }
    m_form->mnuSave_Click();
    qunsetenv("LEXIVORN_FAIL_CALL");
    qunsetenv("LEXIVORN_FAIL_FILE");

    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().style, MessageStyle::Warning);
    QCOMPARE(messages.first().title, u"Error"_s);
    const QString start = heading + u"\r\n"_s + path + u"\r\n\r\n"_s;
    QVERIFY2(messages.first().prompt.startsWith(start), qPrintable(messages.first().prompt));
    QVERIFY(messages.first().prompt.size() > start.size());

    QFile file(listPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), original);
    QVERIFY(QFileInfo(m_dir->filePath(u"folder"_s)).isDir());
    if (!written.isEmpty())
        QCOMPARE(readFile(path), written);
}

void tst_Form1Save::save_data()
{
    // The name the dialog hands back, as Qt's dialog does (with ".txt",
    // asked about) or as the desktop's does (without, asked about as typed).
    QTest::addColumn<QString>("returned");
    QTest::addColumn<QStringList>("existing"); // files there before the save
    QTest::addColumn<QList<MessageReply>>("answers"); // to the program's question
    QTest::addColumn<QString>("written"); // empty: nothing written
    QTest::addColumn<QString>("askedAbout"); // the name the program asked about

    const QString out = u"out.txt"_s;
    QTest::newRow("name with .txt, taken: the dialog asked")
            << out << QStringList{out} << QList<MessageReply>{} << out << QString();
    QTest::newRow("name without .txt gets it")
            << u"out"_s << QStringList{} << QList<MessageReply>{} << out << QString();
    QTest::newRow("name without .txt whose .txt is taken: asked, Yes")
            << u"out"_s << QStringList{out} << QList<MessageReply>{MessageReply::Yes} << out << out;
    QTest::newRow("name without .txt whose .txt is taken: No shows the dialog again")
            << u"out"_s << QStringList{out} << QList<MessageReply>{MessageReply::No} << QString()
            << out;
    QTest::newRow("the proposed name accepted, its .txt taken: asked")
            << u"Alphabetized File"_s << QStringList{u"Alphabetized File.txt"_s}
            << QList<MessageReply>{MessageReply::Yes} << u"Alphabetized File.txt"_s
            << u"Alphabetized File.txt"_s;
    // The desktop's dialog asked about the name as typed, and the person
    // chose to replace it: that file is written, with no second question.
    QTest::newRow("name without .txt, taken itself: written as named")
            << u"out"_s << QStringList{u"out"_s} << QList<MessageReply>{} << u"out"_s << QString();
    QTest::newRow("name without .txt and its .txt both taken: written as named, .txt kept")
            << u"out"_s << QStringList{u"out"_s, out} << QList<MessageReply>{} << u"out"_s
            << QString();
    QTest::newRow("own extension kept")
            << u"out.lst"_s << QStringList{} << QList<MessageReply>{} << u"out.lst"_s << QString();
}

void tst_Form1Save::save()
{
    QFETCH(QString, returned);
    QFETCH(QStringList, existing);
    QFETCH(QList<MessageReply>, answers);
    QFETCH(QString, written);
    QFETCH(QString, askedAbout);

    open(writeFile(u"list.txt"_s, "pear\r\napple  \r\nfig"));
    const QByteArray old = "old contents, longer than the new\r\n";
    for (const QString &name : existing)
        writeFile(name, old);
    m_host->calls.clear();
    m_host->saveNames.enqueue(m_dir->filePath(returned));
    m_host->replies.append(answers);
    action(u"mnuSave"_s)->trigger();

    QList<HostCall> messages = m_host->messages();
    if (!askedAbout.isEmpty()) {
        QVERIFY(!messages.isEmpty());
        const HostCall question = messages.takeFirst();
        QCOMPARE(question.prompt, askedAbout + u" already exists.\nDo you want to replace it?"_s);
        QCOMPARE(question.style, MessageStyle::YesNoWarningDefaultNo);
        QCOMPARE(question.title, u"Save file as..."_s);
    }
    for (const QString &name : existing) {
        if (name != written)
            QCOMPARE(readFile(m_dir->filePath(name)), old);
    }
    if (written.isEmpty()) {
        // Back in the dialog, which the user then cancels.
        QCOMPARE(m_host->calls.last().kind, HostCall::SaveDialog);
        QVERIFY(messages.isEmpty());
        QCOMPARE(m_form->SavePath(), QString());
        return;
    }
    QCOMPARE(m_form->SavePath(), m_dir->filePath(written));
    QCOMPARE(readFile(m_dir->filePath(written)), QByteArray("apple\r\nfig\r\npear\r\n"));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().prompt, u"File was saved successfully!"_s);
    QCOMPARE(messages.first().style, MessageStyle::OkOnly);
    QCOMPARE(messages.first().title, u"Finished"_s);
}

QTEST_MAIN(tst_Form1Save)
#include "tst_form1save.moc"
