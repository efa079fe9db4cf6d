#pragma once

#include "listfile/listfile.h"
#include "mainwindow/entrylistmodel.h"

#include <QObject>
#include <QTest>

// Files are read on a thread of their own; these wait, with the event loop
// turning, until they are in the list.
namespace FilesRead {

// Long enough for a full list on a busy machine.
constexpr int WaitLimit = 60'000; // milliseconds

inline bool waitUntilRead(const EntryListModel &model)
{
    return QTest::qWaitFor([&model] { return !model.isAddingFiles(); }, WaitLimit);
}

// Reads files into the list as an Open does; returns the failures. A read
// that does not end in time is a failure without a file name.
inline QList<listfile::FileResult> addFiles(EntryListModel &model, const QStringList &fileNames)
{
    QList<listfile::FileResult> failures;
    const QMetaObject::Connection told = QObject::connect(
            &model, &EntryListModel::filesAdded,
            [&failures](const QList<listfile::FileResult> &result) { failures = result; });
    model.addFiles(fileNames);
    const bool ended = waitUntilRead(model);
    QObject::disconnect(told);
    if (!ended)
        failures.append(listfile::FileResult::failure({}, QStringLiteral("the read did not end")));
    return failures;
}

inline listfile::FileResult addFile(EntryListModel &model, const QString &fileName)
{
    const QList<listfile::FileResult> failures = addFiles(model, {fileName});
    return failures.isEmpty() ? listfile::FileResult::success() : failures.first();
}

} // namespace FilesRead
