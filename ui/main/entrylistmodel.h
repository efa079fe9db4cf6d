#pragma once

#include "entrylist/entrylist.h"
#include "listfile/listfile.h"

#include <QAbstractListModel>
#include <QHash>
#include <QString>

#include <memory>

class QThread;

// Shows the one entry list to a view: a row per entry, in list order,
// decoded for display. A whole file is added at once and the view is told
// once, not once per line.
class EntryListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit EntryListModel(QObject *parent = nullptr);
    // Waits for files still being read.
    ~EntryListModel() override;

    // The list; made on first use, see m_entries.
    const core::EntryList &entries() const;

    // Reads list files into the list as one (see listfile::ReadListFiles),
    // on a thread of its own: reading and ordering a large file takes long,
    // and the windows go on meanwhile. Until filesAdded() the list is shown
    // and saved as it was; then the list with the files' lines takes its
    // place. One read at a time.
    void addFiles(const QStringList &fileNames);
    bool isAddingFiles() const { return m_reading != nullptr; }
    // The last file read in full.
    const QString &lastFileRead() const { return m_lastFileRead; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

signals:
    // The files of addFiles() are in the list; `failures` as ReadListFiles
    // gives them.
    void filesAdded(const QList<listfile::FileResult> &failures);

private:
    struct FilesRead;

    core::EntryList &list() const;
    void takeFilesRead(FilesRead &read);

    // Making a list opens the locale's collator, which an empty window does
    // not need: the first file read, or the first question asked, makes it.
    mutable std::unique_ptr<core::EntryList> m_entries;
    // What rows of long entries show, by row; rows move when a file is read.
    mutable QHash<int, QString> m_shownLongEntries;
    QString m_lastFileRead;
    QThread *m_reading = nullptr;
};
