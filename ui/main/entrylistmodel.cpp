#include "entrylistmodel.h"

#include "entrylist/entrytext.h"
#include "shownentry.h"

#include <algorithm>

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

QString shownText(const QByteArray &entry)
{
    return markedForDisplay(core::decodeEntryStart(entry, MaxShownCharacters));
}

} // namespace

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

core::EntryList &EntryListModel::list() const
{
    if (!m_entries)
        m_entries = std::make_unique<core::EntryList>();
    return *m_entries;
}

const core::EntryList &EntryListModel::entries() const
{
    return list();
}

listfile::FileResult EntryListModel::addFile(const QString &fileName)
{
    const QList<FileResult> failures = addFiles({fileName});
    return failures.isEmpty() ? FileResult::success() : failures.first();
}

QList<listfile::FileResult> EntryListModel::addFiles(const QStringList &fileNames)
{
    // Lines land in their ordered places all over the list, so the view is
    // told once that everything changed rather than once per line.
    beginResetModel();
    const QList<FileResult> failures = listfile::ReadListFiles(fileNames, list());
    m_shownLongEntries.clear();
    endResetModel();
    const auto failed = [&failures](const QString &fileName) {
        return std::any_of(failures.begin(), failures.end(), [&](const FileResult &failure) {
            return failure.isListFull() || failure.fileName() == fileName;
        });
    };
    for (auto name = fileNames.crbegin(); name != fileNames.crend(); ++name) {
        if (!failed(*name)) {
            m_lastFileRead = *name;
            break;
        }
    }
    return failures;
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
    const QByteArray &entry = m_entries->Item(qint16(index.row()));
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
