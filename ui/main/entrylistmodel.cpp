#include "entrylistmodel.h"

#include "entrytext.h"

namespace {

// A row shows no more than this many characters: a view cuts long entries
// at its right edge anyway, and decoding and laying out a line of megabytes
// on every repaint would make the list crawl.
constexpr qsizetype MaxShownCharacters = 4096;

// Whether an entry is UTF-8 depends on all of its bytes, so showing even the
// start of an entry reads it whole. What longer entries show is kept.
constexpr qsizetype LongEntryBytes = 64 * 1024;

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
    // Lines land in their ordered places all over the list, so the view is
    // told once that everything changed rather than once per line.
    beginResetModel();
    listfile::FileResult result = listfile::ReadListFile(fileName, list());
    m_shownLongEntries.clear();
    endResetModel();
    if (result.ok())
        m_lastFileRead = fileName;
    return result;
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_entries ? 0 : m_entries->Count();
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QByteArray &entry = m_entries->Item(qint16(index.row()));
    if (entry.size() < LongEntryBytes)
        return core::decodeEntryStart(entry, MaxShownCharacters);
    auto shown = m_shownLongEntries.constFind(index.row());
    if (shown == m_shownLongEntries.cend())
        shown = m_shownLongEntries.insert(index.row(),
                                          core::decodeEntryStart(entry, MaxShownCharacters));
    return *shown;
}
