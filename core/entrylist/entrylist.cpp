#include "entrylist/entrylist.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <new>

namespace core {

namespace {

constexpr qsizetype startSize = sizeof(quint64);

// A key's first eight bytes, big-endian, padded with zero bytes. When two
// starts differ they order as the keys do: a padding byte is lowest, and
// where it meets a real byte the shorter key is a beginning of the longer
// one, so it sorts first anyway.
quint64 startOf(QByteArrayView key)
{
    uchar bytes[startSize] = {};
    std::memcpy(bytes, key.data(), size_t(qMin(key.size(), startSize)));
    return qFromBigEndian<quint64>(bytes);
}

// A batch is sorted as small records rather than as entries.
struct SortRecord
{
    quint64 start;
    qsizetype index;
};

} // namespace

EntryList::EntryList(const QLocale &locale)
    : m_locale(locale)
    , m_keys(locale)
{ }

EntryList::EntryList(const EntryList &other)
    : EntryList(other.m_locale)
{
    m_storage = other.m_storage;
    m_entries.reserve(other.m_entries.size());
    for (const Entry &entry : other.m_entries) {
        Entry copy = entry;
        // The key beyond the start stays behind in `other`'s buffer.
        if (copy.keyAt >= 0) {
            copy.keyAt = -1;
            copy.keySize = qMin(copy.keySize, startSize);
            copy.whole = false;
        }
        m_entries.push_back(std::move(copy));
    }
}

EntryList::Entry EntryList::makeEntry(const QByteArray &bytes)
{
    // A start alone, or a whole key no longer, is kept in the entry.
    const qsizetype keyAt = m_keyBytes.size();
    std::optional<collation::EntryEncoding> encoding;
    const bool whole = m_keys.appendEntryKeyStart(bytes, startSize, m_keyBytes, encoding);
    const QByteArrayView key = QByteArrayView(m_keyBytes).sliced(keyAt);
    Entry entry;
    entry.bytes = bytes;
    entry.start = startOf(key);
    entry.whole = whole;
    entry.encoding = encoding;
    entry.keySize = key.size();
    if (entry.keySize > startSize)
        entry.keyAt = keyAt;
    else
        m_keyBytes.truncate(keyAt);
    return entry;
}

// The beginning of an entry's key known so far; `start` holds it when it
// is the start alone.
QByteArrayView EntryList::knownKey(const Entry &entry, uchar (&start)[8]) const
{
    if (entry.keyAt >= 0)
        return QByteArrayView(m_keyBytes.constData() + entry.keyAt, entry.keySize);
    qToBigEndian(entry.start, start);
    return QByteArrayView(start, entry.keySize);
}

void EntryList::limitKeyBytes(qsizetype room)
{
    m_keyBytesLimit = room < 0 ? -1 : m_keyBytes.size() + room;
}

// Keys that would pass their limit are refused as memory that ran out.
void EntryList::makeRoomForKey(qsizetype size) const
{
    if (m_keyBytesLimit >= 0 && size > m_keyBytesLimit - m_keyBytes.size())
        throw std::bad_alloc();
}

// Builds eight times as much of an entry's key, or all of it.
void EntryList::extendKey(Entry &entry)
{
    // Under C a whole key may be a few bytes longer than asked for.
    makeRoomForKey(8 * entry.keySize + 16);
    const qsizetype keyAt = m_keyBytes.size();
    const bool whole =
            m_keys.appendEntryKeyStart(entry.bytes, 8 * entry.keySize, m_keyBytes, entry.encoding);
    entry.keyAt = keyAt;
    entry.keySize = m_keyBytes.size() - keyAt;
    entry.whole = whole;
}

// Orders two entries by their keys, building more of them only while what
// is known of both is equal and neither has ended. Entries of the same
// bytes have the same key.
int EntryList::compare(Entry &a, Entry &b)
{
    if (a.start != b.start)
        return a.start < b.start ? -1 : 1;
    if (!a.whole && !b.whole && a.bytes == b.bytes)
        return 0;
    for (;;) {
        uchar startA[8];
        uchar startB[8];
        const QByteArrayView keyA = knownKey(a, startA);
        const QByteArrayView keyB = knownKey(b, startB);
        const int order =
                std::memcmp(keyA.data(), keyB.data(), size_t(qMin(keyA.size(), keyB.size())));
        if (order != 0)
            return order < 0 ? -1 : 1;
        // A key that has ended is the beginning of the other.
        if (a.whole && b.whole && keyA.size() == keyB.size())
            return 0;
        if (a.whole && keyA.size() <= keyB.size())
            return -1;
        if (b.whole && keyB.size() <= keyA.size())
            return 1;
        const qsizetype knownA = keyA.size();
        const qsizetype knownB = keyB.size();
        if (knownA <= knownB)
            extendKey(a);
        if (knownB <= knownA)
            extendKey(b);
    }
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

// The first `listCount` entries forget the whole keys built for them from
// `keyAt` on, which are about to be dropped; their starts remain.
void EntryList::forgetKeysFrom(qsizetype keyAt, size_t listCount) noexcept
{
    for (size_t i = 0; i < listCount; ++i) {
        Entry &entry = m_entries[i];
        if (entry.keyAt >= keyAt) {
            entry.keyAt = -1;
            entry.keySize = startSize;
            entry.whole = false;
        }
    }
    dropKeysFrom(keyAt);
}

bool EntryList::Add(const QByteArray &entry)
{
    if (Room() == 0)
        return false;
    const qsizetype keyBytesCount = m_keyBytes.size();
    try {
        Entry added = makeEntry(entry);
        const size_t place = placeAfterEqual(added, m_entries.size());
        m_entries.insert(m_entries.begin() + qsizetype(place), std::move(added));
    } catch (...) {
        forgetKeysFrom(keyBytesCount, m_entries.size());
        throw;
    }
    return true;
}

bool EntryList::Add(const QList<QByteArray> &entries)
{
    return Add(entries, {});
}

bool EntryList::Add(const QList<QByteArray> &entries, const QList<QByteArray> &storage)
{
    if (entries.size() > Room())
        return false;

    // The batch's entries go to the end of the list for now, in arrival
    // order. Sorting them and finding their places builds whole keys where
    // starts tie, and memory may run out until every place is known; then
    // the list is put back as it was. Moving the entries costs no memory.
    const size_t listCount = m_entries.size();
    const qsizetype keyBytesCount = m_keyBytes.size();
    const auto count = size_t(entries.size());
    std::vector<SortRecord> order;
    std::vector<size_t> places;
    std::vector<Entry> sorted;
    try {
        m_storage.reserve(m_storage.size() + size_t(storage.size()));
        m_entries.reserve(listCount + count);
        order.resize(count);
        for (size_t i = 0; i < count; ++i) {
            m_entries.push_back(makeEntry(entries[qsizetype(i)]));
            order[i] = {m_entries.back().start, qsizetype(i)};
        }
        Entry *batch = m_entries.data() + listCount;
        // Equal keys are ordered by arrival, so the sort needs no stability
        // of its own: the batch comes out as adding it one by one would
        // leave it.
        std::sort(order.begin(), order.end(), [&](const SortRecord &a, const SortRecord &b) {
            if (a.start != b.start)
                return a.start < b.start;
            const int byKey = compare(batch[a.index], batch[b.index]);
            return byKey != 0 ? byKey < 0 : a.index < b.index;
        });
        // Each entry of the sorted batch goes after the list's entries equal
        // to it, which is where adding them one by one would put them; the
        // places grow with the batch.
        places.resize(count);
        size_t from = 0;
        for (size_t i = 0; i < count; ++i) {
            from = placeAfterEqual(batch[order[i].index], listCount, from);
            places[i] = from;
        }
        sorted.resize(count);
    } catch (...) {
        m_entries.erase(m_entries.begin() + qsizetype(listCount), m_entries.end());
        forgetKeysFrom(keyBytesCount, listCount);
        throw;
    }

    // The sorted batch, then the list merged with it from the back, in place.
    for (size_t i = 0; i < count; ++i)
        sorted[i] = std::move(m_entries[listCount + size_t(order[i].index)]);
    size_t fromList = listCount;
    for (size_t to = listCount + count, fromBatch = count; fromBatch > 0;) {
        if (fromList > places[fromBatch - 1])
            m_entries[--to] = std::move(m_entries[--fromList]);
        else
            m_entries[--to] = std::move(sorted[--fromBatch]);
    }
    // Room was made above, so keeping the blocks cannot fail.
    m_storage.insert(m_storage.end(), storage.begin(), storage.end());
    return true;
}

// The place after every one of the first `listCount` entries that is equal
// to or below `entry`, searched from `from` on.
size_t EntryList::placeAfterEqual(Entry &entry, size_t listCount, size_t from)
{
    size_t low = from;
    size_t high = listCount;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (compare(entry, m_entries[middle]) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

} // namespace core
