#include "fakehostui.h"
#include "mainwindow/entrylistmodel.h"
#include "mainwindow/form1.h"
#include "progress/form2.h"
#include "progressrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace ProgressTest;

class tst_Form2Prompt : public QObject
{
    Q_OBJECT

private slots:
    void lastTickPromptsWithMainWindowBack();
    void promptAnswered_data();
    void promptAnswered();
    void promptedSaveNotDone_data();
    void promptedSaveNotDone();
    void closeDuringPromptWaitsForFinish();
};

void tst_Form2Prompt::lastTickPromptsWithMainWindowBack()
{
    ProgressRun run("pear\r\napple\r\n");
    run.tick(49);
    QVERIFY(run.host.calls.isEmpty());

    bool mainShown = false;
    bool progressHidden = false;
    bool timerStopped = false;
    run.host.onCall = [&](const HostCall &) {
        mainShown = run.form1.isVisible();
        progressHidden = !run.form2->isVisible();
        timerStopped = !run.timer()->isActive();
    };
    run.tick(1);
    QCOMPARE(run.host.calls.size(), 1);
    const HostCall prompt = run.host.calls.first();
    QCOMPARE(prompt.kind, HostCall::Message);
    QCOMPARE(prompt.prompt, SavePrompt);
    QCOMPARE(prompt.style, MessageStyle::YesNo);
    QCOMPARE(prompt.title, u"Finished"_s);
    QVERIFY(mainShown);
    QVERIFY(progressHidden);
    QVERIFY(timerStopped);
}

void tst_Form2Prompt::promptAnswered_data()
{
    QTest::addColumn<MessageReply>("reply");
    QTest::addColumn<QByteArray>("listFile");
    QTest::addColumn<QByteArray>("saved"); // null: nothing may be written

    const QByteArray three = "pear\r\napple\r\nfig";
    QTest::newRow("No") << MessageReply::No << three << QByteArray();
    QTest::newRow("Yes") << MessageReply::Yes << three << QByteArray("apple\r\nfig\r\npear\r\n");
    // Unlike the menu's Save, the prompt does not refuse an empty list.
    QTest::newRow("Yes, empty list") << MessageReply::Yes << QByteArray() << QByteArray("");
}

void tst_Form2Prompt::promptAnswered()
{
    QFETCH(MessageReply, reply);
    QFETCH(QByteArray, listFile);
    QFETCH(QByteArray, saved);

    ProgressRun run(listFile);
    const int entries = run.form1.List1().rowCount();
    const QString target = run.dir.filePath(u"sorted.txt"_s);
    run.host.replies.enqueue(reply);
    run.host.saveNames.enqueue(target);
    run.tick(50);
    QTRY_VERIFY(run.form2.isNull());
    QVERIFY(run.form1.isVisible());
    QCOMPARE(run.form1.List1().rowCount(), entries);

    if (saved.isNull()) {
        QCOMPARE(run.host.calls.size(), 1);
        QVERIFY(!QFile::exists(target));
        return;
    }
    QCOMPARE(run.host.calls.size(), 3);
    QCOMPARE(run.host.calls.at(1).kind, HostCall::SaveDialog);
    const HostCall done = run.host.calls.at(2);
    QCOMPARE(done.prompt, u"File was saved successfully!"_s);
    QCOMPARE(done.style, MessageStyle::OkOnly);
    QCOMPARE(done.title, u"Finished"_s);
    QVERIFY(QFile::exists(target));
    QCOMPARE(readFile(target), saved);
}

void tst_Form2Prompt::promptedSaveNotDone_data()
{
    QTest::addColumn<QString>("saveName"); // empty: the dialog was cancelled
    QTest::addColumn<QString>("blocker"); // an existing file that must stay as it was

    QTest::newRow("dialog cancelled") << QString() << QString();
    QTest::newRow("folder is a regular file") << u"notafolder/out.txt"_s << u"notafolder"_s;
    QTest::newRow("target is a folder") << u"afolder"_s << QString();
}

void tst_Form2Prompt::promptedSaveNotDone()
{
    QFETCH(QString, saveName);
    QFETCH(QString, blocker);

    ProgressRun run("pear\r\napple\r\n");
    QTemporaryDir out;
    const QByteArray original = "kept as it was\r\n";
    if (!blocker.isEmpty())
        QVERIFY(writeFile(out.filePath(blocker), original));
    QVERIFY(QDir(out.path()).mkpath(u"afolder"_s));
    const QString target = saveName.isEmpty() ? QString() : out.filePath(saveName);
    run.host.replies.enqueue(MessageReply::Yes);
    run.host.saveNames.enqueue(target);
    // A cancelled dialog must not write some proposed name into the current folder.
    const QString wasCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(out.path()));
    run.tick(50);
    QTRY_VERIFY(run.form2.isNull());
    QVERIFY(QDir::setCurrent(wasCurrent));

    QVERIFY(run.form1.isVisible());
    QCOMPARE(run.form1.List1().rowCount(), 2);
    QStringList expectedFiles{u"afolder"_s};
    if (!blocker.isEmpty())
        expectedFiles.append(blocker);
    QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), expectedFiles);
    if (!blocker.isEmpty())
        QCOMPARE(readFile(out.filePath(blocker)), original);
    if (target.isEmpty()) {
        QCOMPARE(run.host.calls.size(), 2);
        QCOMPARE(run.host.calls.at(1).kind, HostCall::SaveDialog);
        return;
    }
    QCOMPARE(run.host.calls.size(), 3);
    const HostCall error = run.host.calls.at(2);
    QCOMPARE(error.kind, HostCall::Message);
    QCOMPARE(error.title, u"Error"_s);
    QCOMPARE(error.style, MessageStyle::Warning);
    QVERIFY2(error.prompt.contains(QFileInfo(target).fileName()), qPrintable(error.prompt));
}

void tst_Form2Prompt::closeDuringPromptWaitsForFinish()
{
    ProgressRun run("pear\r\n");
    const QString target = run.dir.filePath(u"sorted.txt"_s);
    run.host.replies.enqueue(MessageReply::Yes);
    run.host.saveNames.enqueue(target);
    bool closedEarly = true;
    run.host.onCall = [&](const HostCall &call) {
        if (call.kind == HostCall::SaveDialog)
            closedEarly = run.form2->close();
    };
    run.tick(50);
    QVERIFY(!closedEarly);
    QTRY_VERIFY(run.form2.isNull());
    QCOMPARE(run.host.calls.size(), 3);
    QCOMPARE(readFile(target), QByteArray("pear\r\n"));
    QVERIFY(run.form1.isVisible());
}

QTEST_MAIN(tst_Form2Prompt)
#include "tst_form2prompt.moc"
