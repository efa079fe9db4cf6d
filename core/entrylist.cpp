#include "entrylist.h"

#include "entrytext.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

bool keyLess(const QByteArray &a, const QByteArray &b)
{
    const int order = std::memcmp(a.constData(), b.constData(), size_t(qMin(a.size(), b.size())));
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

quint64 prefixOf(const QByteArray &key)
{
    uchar bytes[8] = {};
    std::memcpy(bytes, key.constData(), size_t(qMin(key.size(), qsizetype(8))));
    return qFromBigEndian<quint64>(bytes);
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
    const auto place =
            std::upper_bound(m_entries.begin(), m_entries.end(), added,
                             [](const Entry &a, const Entry &b) { return keyLess(a.key, b.key); });
    m_entries.insert(place, std::move(added));
    return true;
}

bool EntryList::Add(const QList<QByteArray> &entries)
{
    if (entries.size() > Room())
        return false;

    const auto count = size_t(entries.size());
    std::vector<QByteArray> keys(count);
    std::vector<SortRecord> order(count);
    for (size_t i = 0; i < count; ++i) {
        keys[i] = m_keys.entryKey(entries[qsizetype(i)]);
        order[i] = {prefixOf(keys[i]), qsizetype(i)};
    }
    // Equal keys are ordered by arrival, so the sort needs no stability of
    // its own: the batch comes out as adding it one by one would leave it.
    std::sort(order.begin(), order.end(), [&keys](const SortRecord &a, const SortRecord &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const QByteArray &keyA = keys[size_t(a.index)];
        const QByteArray &keyB = keys[size_t(b.index)];
        if (keyLess(keyA, keyB))
            return true;
        if (keyLess(keyB, keyA))
            return false;
        return a.index < b.index;
    });

    // Merged in place from the back, so no second list is held meanwhile.
    // An entry of the list goes before the batch's entries equal to it,
    // which is where adding them one by one would put them.
    size_t fromList = m_entries.size();
    size_t fromBatch = count;
    m_entries.resize(m_entries.size() + count);
    for (size_t to = m_entries.size(); fromBatch > 0;) {
        const SortRecord &next = order[fromBatch - 1];
        QByteArray &key = keys[size_t(next.index)];
        if (fromList > 0 && keyLess(key, m_entries[fromList - 1].key)) {
            m_entries[--to] = std::move(m_entries[--fromList]);
        } else {
            m_entries[--to] = {entries[next.index], std::move(key)};
            --fromBatch;
        }
    }
    return true;
}

QString EntryList::Text(qint16 position) const
{
    return decodeEntry(Item(position));
}
