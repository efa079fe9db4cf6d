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
    // Waits for files still being read, given up ones too.
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
    // Gives up the read under way: the list stays as it was, and no
    // filesAdded() follows. The read cannot be stopped part-way; it ends on
    // its own thread and what it made is dropped. The next read may start
    // at once.
    void abandonFiles();
    // Whether a read, given up or not, still runs.
    bool hasReadsRunning() const { return m_readsRunning > 0; }
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
    void takeFilesRead(QThread *reading, FilesRead &read);

    // Making a list opens the locale's collator, which an empty window does
    // not need: the first file read, or the first question asked, makes it.
    // Shared with the reads that copy it, which may outlive its place here
    // when they are given up.
    mutable std::shared_ptr<core::EntryList> m_entries;
    // What rows of long entries show, by row; rows move when a file is read.
    mutable QHash<int, QString> m_shownLongEntries;
    QString m_lastFileRead;
    // The read whose lines are still to come; those given up are not here.
    QThread *m_reading = nullptr;
    int m_readsRunning = 0;
};
