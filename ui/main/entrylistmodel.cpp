#include "entrylistmodel.h"

namespace {

// A row shows no more than this many characters: a view cuts long entries
// at its right edge anyway, and laying out a line of megabytes on every
// repaint would make the list crawl.
constexpr qsizetype MaxShownCharacters = 4096;

} // namespace

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

FileResult EntryListModel::addFile(const QString &fileName)
{
    // Lines land in their ordered places all over the list, so the view is
    // told once that everything changed rather than once per line.
    beginResetModel();
    FileResult result = ReadListFile(fileName, m_entries);
    endResetModel();
    if (result.ok())
        m_lastFileRead = fileName;
    return result;
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.Count();
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return m_entries.Text(qint16(index.row())).left(MaxShownCharacters);
}
