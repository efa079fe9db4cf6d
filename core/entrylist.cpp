#include "entrylist.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <new>

namespace core {

namespace {

bool keyLess(QByteArrayView a, QByteArrayView b)
{
    const int order = std::memcmp(a.data(), b.data(), size_t(qMin(a.size(), b.size())));
    return order < 0 || (order == 0 && a.size() < b.size());
}

// A batch is sorted as small records rather than as entries: most keys
// differ in their first eight bytes, which then decide without touching
// the keys themselves.
struct SortRecord
{
    // The key's first eight bytes, big-endian, padded with zero bytes. When
    // two prefixes differ they order as the keys do: a padding byte is
    // lowest, and where it meets a real byte the shorter key is a prefix of
    // the longer one, so it sorts first anyway.
    quint64 prefix;
    qsizetype index;
};

quint64 prefixOf(QByteArrayView key)
{
    uchar bytes[8] = {};
    std::memcpy(bytes, key.data(), size_t(qMin(key.size(), qsizetype(8))));
    return qFromBigEndian<quint64>(bytes);
}

} // namespace

EntryList::EntryList(const QLocale &locale)
    : m_keys(locale)
{ }

EntryList::Entry EntryList::makeEntry(const QByteArray &bytes)
{
    const qsizetype keyAt = m_keyBytes.size();
    m_keys.appendEntryKey(bytes, m_keyBytes);
    return {bytes, keyAt, m_keyBytes.size() - keyAt};
}

// Takes back the keys of entries that were not added, and the room grown
// for them, which may be large when memory ran out.
void EntryList::dropKeysFrom(qsizetype keyAt) noexcept
{
    m_keyBytes.truncate(keyAt);
    try {
        m_keyBytes.squeeze();
    } catch (const std::bad_alloc &) {
        // The spare room stays; the list is sound either way.
    }
}

QByteArrayView EntryList::keyOf(const Entry &entry) const
{
    return QByteArrayView(m_keyBytes.constData() + entry.keyAt, entry.keySize);
}

bool EntryList::Add(const QByteArray &entry)
{
    if (Room() == 0)
        return false;
    const qsizetype keyBytesCount = m_keyBytes.size();
    try {
        Entry added = makeEntry(entry);
        // After every entry equal to it, so equal entries keep arrival order.
        const auto place = std::upper_bound(
                m_entries.begin(), m_entries.end(), added,
                [this](const Entry &a, const Entry &b) { return keyLess(keyOf(a), keyOf(b)); });
        m_entries.insert(place, std::move(added));
    } catch (...) {
        dropKeysFrom(keyBytesCount);
        throw;
    }
    return true;
}

bool EntryList::Add(const QList<QByteArray> &entries)
{
    if (entries.size() > Room())
        return false;

    // The batch's entries go to the end of the list for now, in arrival
    // order; their keys all exist before the sort reads them. Memory may run
    // out until the merge starts; then the list is put back as it was.
    const size_t listCount = m_entries.size();
    const qsizetype keyBytesCount = m_keyBytes.size();
    const auto count = size_t(entries.size());
    std::vector<SortRecord> order;
    std::vector<Entry> sorted;
    try {
        m_entries.reserve(listCount + count);
        order.resize(count);
        for (size_t i = 0; i < count; ++i) {
            m_entries.push_back(makeEntry(entries[qsizetype(i)]));
            order[i] = {prefixOf(keyOf(m_entries.back())), qsizetype(i)};
        }
        sorted.resize(count);
    } catch (...) {
        m_entries.erase(m_entries.begin() + qsizetype(listCount), m_entries.end());
        dropKeysFrom(keyBytesCount);
        throw;
    }
    const Entry *batch = m_entries.data() + listCount;

    // Equal keys are ordered by arrival, so the sort needs no stability of
    // its own: the batch comes out as adding it one by one would leave it.
    std::sort(order.begin(), order.end(), [&](const SortRecord &a, const SortRecord &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const QByteArrayView keyA = keyOf(batch[a.index]);
        const QByteArrayView keyB = keyOf(batch[b.index]);
        if (keyLess(keyA, keyB))
            return true;
        if (keyLess(keyB, keyA))
            return false;
        return a.index < b.index;
    });

    // The sorted batch, then the list merged with it from the back, in
    // place. An entry of the list goes before the batch's entries equal to
    // it, which is where adding them one by one would put them.
    for (size_t i = 0; i < count; ++i)
        sorted[i] = std::move(m_entries[listCount + size_t(order[i].index)]);
    order = {};
    size_t fromList = listCount;
    size_t fromBatch = count;
    for (size_t to = listCount + count; fromBatch > 0;) {
        Entry &next = sorted[fromBatch - 1];
        if (fromList > 0 && keyLess(keyOf(next), keyOf(m_entries[fromList - 1])))
            m_entries[--to] = std::move(m_entries[--fromList]);
        else
            m_entries[--to] = std::move(sorted[--fromBatch]);
    }
    return true;
}

} // namespace core
