#include "filesread.h"
#include "mainwindow/entrylistmodel.h"
#include "testfiles.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;

class tst_EntryListModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startsEmpty();
    void addFileShowsEntriesInOrder();
    void viewIsToldOncePerFile_data();
    void viewIsToldOncePerFile();
    void veryLongEntryIsCutForDisplay();

private:
    std::unique_ptr<TestFolder> m_dir;
};

void tst_EntryListModel::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

static QStringList shownRows(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.append(model.data(model.index(row, 0)).toString());
    return rows;
}

void tst_EntryListModel::startsEmpty()
{
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.entries().Count(), qint16(0));
}

void tst_EntryListModel::addFileShowsEntriesInOrder()
{
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // Bytes that are not UTF-8 show as Windows-1252. Files merging into the
    // list are tst_form1open's.
    QVERIFY(FilesRead::addFile(
                    model,
                    m_dir->writeFile(u"list.txt"_s, "pear\r\napple\r\nfig\r\ncaf\xe9\r\nbanana"))
                    .ok());
    QCOMPARE(shownRows(model),
             (QStringList{u"apple"_s, u"banana"_s, u"café"_s, u"fig"_s, u"pear"_s}));
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole), QVariant());
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
}

void tst_EntryListModel::viewIsToldOncePerFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("rows");

    QTest::newRow("many lines") << QByteArray("c\r\nb\r\na\r\nd\r\ne\r\n") << 5;
    QTest::newRow("empty file") << QByteArray() << 0;
}

void tst_EntryListModel::viewIsToldOncePerFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, rows);

    EntryListModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy added(&model, &EntryListModel::filesAdded);
    model.addFiles({m_dir->writeFile(u"list.txt"_s, contents)});
    // The read ends on its own thread; the list it made takes the shown
    // one's place only here, on the thread that shows it.
    auto *reading = model.findChild<QThread *>();
    QVERIFY(reading && reading->wait(FilesRead::WaitLimit));
    QCOMPARE(resets.size(), 0);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(FilesRead::waitUntilRead(model));
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().first().value<QList<listfile::FileResult>>().size(), 0);
    QCOMPARE(resets.size(), 1);
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(model.rowCount(), rows);
}

void tst_EntryListModel::veryLongEntryIsCutForDisplay()
{
    EntryListModel model;
    const QByteArray line = "x" + QByteArray(1'000'000, 'y');
    QVERIFY(FilesRead::addFile(model, m_dir->writeFile(u"long.txt"_s, line)).ok());
    QCOMPARE(model.rowCount(), 1);
    // The entry itself is kept whole; only what is shown is cut.
    QCOMPARE(model.entries().Item(0), line);
    const QString shown = model.data(model.index(0, 0)).toString();
    QVERIFY(shown.startsWith(u"xyyy"_s));
    QVERIFY(shown.size() >= 1000);
    QVERIFY(shown.size() < 10'000);

    // Another long entry takes its row.
    QVERIFY(FilesRead::addFile(model,
                               m_dir->writeFile(u"before.txt"_s, "a" + QByteArray(100'000, 'b')))
                    .ok());
    QVERIFY(model.data(model.index(0, 0)).toString().startsWith(u"abbb"_s));
    QCOMPARE(model.data(model.index(1, 0)).toString(), shown);
}

QTEST_MAIN(tst_EntryListModel)
#include "tst_entrylistmodel.moc"
