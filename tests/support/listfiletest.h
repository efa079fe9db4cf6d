#pragma once

#include "entrylist.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Files as the tests of reading and saving lists make and look at them.
namespace ListFileTest {

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QList<QByteArray> itemsOf(const core::EntryList &list)
{
    QList<QByteArray> items;
    for (qint16 i = 0; i < list.Count(); ++i)
        items << list.Item(i);
    return items;
}

inline QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace ListFileTest
