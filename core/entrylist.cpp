#include "entrylist.h"

#include "entrytext.h"

#include <algorithm>
#include <iterator>

namespace {

template<typename Entry> bool keyLess(const Entry &a, const Entry &b)
{
    return a.key < b.key;
}

} // namespace

EntryList::EntryList(const QLocale &locale)
    : m_keys(locale)
{ }

EntryList::Entry EntryList::makeEntry(const QByteArray &bytes) const
{
    return {bytes, m_keys.entryKey(bytes)};
}

bool EntryList::Add(const QByteArray &entry)
{
    if (Room() == 0)
        return false;
    Entry added = makeEntry(entry);
    // After every entry equal to it, so equal entries keep arrival order.
    const auto place = std::upper_bound(m_entries.begin(), m_entries.end(), added, keyLess<Entry>);
    m_entries.insert(place, std::move(added));
    return true;
}

bool EntryList::Add(const QList<QByteArray> &entries)
{
    if (entries.size() > Room())
        return false;

    std::vector<Entry> batch;
    batch.reserve(size_t(entries.size()));
    for (const QByteArray &bytes : entries)
        batch.push_back(makeEntry(bytes));
    // A stable sort keeps equal entries of the batch in arrival order, and
    // std::merge takes equal entries from the list before those of the
    // batch: the same order as adding them one by one, in one pass.
    std::stable_sort(batch.begin(), batch.end(), keyLess<Entry>);

    std::vector<Entry> merged;
    merged.reserve(m_entries.size() + batch.size());
    std::merge(std::make_move_iterator(m_entries.begin()), std::make_move_iterator(m_entries.end()),
               std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()),
               std::back_inserter(merged), keyLess<Entry>);
    m_entries = std::move(merged);
    return true;
}

QString EntryList::Text(qint16 position) const
{
    return decodeEntry(Item(position));
}
