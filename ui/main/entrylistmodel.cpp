#include "mainwindow/entrylistmodel.h"

#include "entrylist/entrytext.h"
#include "shownentry.h"

#include <QThread>

#include <algorithm>
#include <new>

using namespace Qt::StringLiterals;
using listfile::FileResult;

namespace {

// A row shows no more than this many characters: a view cuts long entries
// at its right edge anyway, and decoding and laying out a line of megabytes
// on every repaint would make the list crawl.
constexpr qsizetype MaxShownCharacters = 4096;

// Whether an entry is UTF-8 depends on all of its bytes, so showing even the
// start of an entry reads it whole. What longer entries show is kept.
constexpr qsizetype LongEntryBytes = 64 * 1024;

// A tooltip shows the start of an entry that its row cuts off, enough to
// read it by without growing past the screen.
constexpr qsizetype ToolTipCharacters = 400;

QString shownText(QByteArrayView entry)
{
    return markedForDisplay(core::decodeEntryStart(entry, MaxShownCharacters));
}

} // namespace

// What a read takes to its thread and brings back. The list it builds starts
// as a copy of the shown list, which keeps the keys' starts and so costs
// little, then takes the files' lines: the shown list is only read from the
// other thread, never changed, and the new list takes its place at once.
struct EntryListModel::FilesRead
{
    QStringList fileNames;
    // The shown list, or none before the first read; the window leaves it
    // as it is until the read has ended.
    std::shared_ptr<const core::EntryList> shown;
    std::unique_ptr<core::EntryList> list;
    QList<FileResult> failures;

    void run()
    {
        try {
            list = shown ? std::make_unique<core::EntryList>(*shown)
                         : std::make_unique<core::EntryList>();
        } catch (const std::bad_alloc &) {
            list.reset();
            failures = {FileResult::failure(
                    fileNames.size() == 1 ? fileNames.first() : QString(),
                    u"There is not enough memory for this file. The list is as it was."_s)};
            return;
        }
        failures = listfile::ReadListFiles(fileNames, *list);
    }
};

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

EntryListModel::~EntryListModel()
{
    // A read holds only its own data; it is left to end, not stopped.
    const QList<QThread *> reads = findChildren<QThread *>(Qt::FindDirectChildrenOnly);
    for (QThread *reading : reads)
        reading->wait();
}

core::EntryList &EntryListModel::list() const
{
    if (!m_entries)
        m_entries = std::make_shared<core::EntryList>();
    return *m_entries;
}

const core::EntryList &EntryListModel::entries() const
{
    return list();
}

void EntryListModel::addFiles(const QStringList &fileNames)
{
    Q_ASSERT(!m_reading);
    auto read = std::make_shared<FilesRead>();
    read->fileNames = fileNames;
    read->shown = m_entries;
    QThread *reading = QThread::create([read] { read->run(); });
    reading->setParent(this);
    // Queued to this thread: the list is swapped here, where it is shown.
    connect(reading, &QThread::finished, this,
            [this, reading, read] { takeFilesRead(reading, *read); });
    m_reading = reading;
    ++m_readsRunning;
    reading->start();
}

void EntryListModel::abandonFiles()
{
    m_reading = nullptr;
}

void EntryListModel::takeFilesRead(QThread *reading, FilesRead &read)
{
    // Told of its end from the thread itself, which may not have quite left.
    reading->deleteLater();
    --m_readsRunning;
    if (reading != m_reading)
        return;
    m_reading = nullptr;
    if (read.list) {
        // Lines land in their ordered places all over the list, so the view
        // is told once that everything changed rather than once per line.
        beginResetModel();
        m_entries = std::shared_ptr<core::EntryList>(std::move(read.list));
        m_shownLongEntries.clear();
        endResetModel();
        const auto failed = [&read](const QString &fileName) {
            return std::any_of(read.failures.begin(), read.failures.end(),
                               [&](const FileResult &failure) {
                                   return failure.isListFull() || failure.fileName() == fileName;
                               });
        };
        for (auto name = read.fileNames.crbegin(); name != read.fileNames.crend(); ++name) {
            if (!failed(*name)) {
                m_lastFileRead = *name;
                break;
            }
        }
    }
    emit filesAdded(read.failures);
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_entries ? 0 : m_entries->Count();
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole)
        || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QByteArrayView entry = m_entries->Item(qint16(index.row()));
    if (role == Qt::ToolTipRole) {
        QString start = core::decodeEntryStart(entry, ToolTipCharacters + 1);
        if (start.size() > ToolTipCharacters) {
            start.truncate(ToolTipCharacters);
            start += u'\u2026';
        }
        return markedForDisplay(start);
    }
    if (entry.size() < LongEntryBytes)
        return shownText(entry);
    auto shown = m_shownLongEntries.constFind(index.row());
    if (shown == m_shownLongEntries.cend())
        shown = m_shownLongEntries.insert(index.row(), shownText(entry));
    return *shown;
}
