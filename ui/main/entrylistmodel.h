#pragma once

#include "entrylist/entrylist.h"
#include "listfile/listfile.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>

#include <memory>

// Shows the one entry list to a view: a row per entry, in list order,
// decoded for display. A whole file is added at once and the view is told
// once, not once per line.
class EntryListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit EntryListModel(QObject *parent = nullptr);

    // The list; made on first use, see m_entries.
    const core::EntryList &entries() const;

    // Reads a list file into the list (see listfile::ReadListFile).
    listfile::FileResult addFile(const QString &fileName);
    // Reads list files into the list as one (see listfile::ReadListFiles).
    QList<listfile::FileResult> addFiles(const QStringList &fileNames);
    // The last file read in full.
    const QString &lastFileRead() const { return m_lastFileRead; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    core::EntryList &list() const;

    // Making a list opens the locale's collator, which an empty window does
    // not need: the first file read, or the first question asked, makes it.
    mutable std::unique_ptr<core::EntryList> m_entries;
    // What rows of long entries show, by row; rows move when a file is read.
    mutable QHash<int, QString> m_shownLongEntries;
    QString m_lastFileRead;
};
