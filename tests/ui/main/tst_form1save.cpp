#include "fakehostui.h"
#include "form1.h"
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

    QTest::newRow("path under a regular file") << u"list.txt/out.txt"_s;
    QTest::newRow("existing folder") << u"folder"_s;
}

void tst_Form1Save::failedSave()
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

void tst_Form1Save::save()
{
    open(writeFile(u"first.txt"_s, "pear\r\napple  \r\n"));
    open(writeFile(u"second.txt"_s, "fig"));
    const QString path = writeFile(u"out.txt"_s, "old contents, longer than the new\r\n");
    m_host->calls.clear();
    m_host->saveNames.enqueue(path);
    action(u"mnuSave"_s)->trigger();

    QCOMPARE(m_form->SavePath(), path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("apple\r\nfig\r\npear\r\n"));
    const QList<HostCall> messages = m_host->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().prompt, u"File was saved successfully!"_s);
    QCOMPARE(messages.first().style, MessageStyle::OkOnly);
    QCOMPARE(messages.first().title, u"Finished"_s);
}

QTEST_MAIN(tst_Form1Save)
#include "tst_form1save.moc"
