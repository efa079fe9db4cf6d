#pragma once

#include "collation/collationkey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocale>

#include <optional>
#include <vector>

namespace core {

// The ordered list of entries. Every entry lands in its ordered place as it
// is added, so the list is sorted at every moment. Entries that compare equal
// keep the order they arrived in. Nothing removes an entry.
class EntryList
{
public:
    // Counts are signed 16-bit, so the list holds at most this many entries.
    static constexpr qint16 MaxCount = 32767;

    explicit EntryList(const QLocale &locale = collation::collationLocale());
    // The same entries in the same order, under the same locale, without
    // building their keys again: each keeps the start of its key, and more
    // is built only where a later Add needs it. Reads `other` only, so
    // `other` may go on being read meanwhile on another thread.
    explicit EntryList(const EntryList &other);
    EntryList &operator=(const EntryList &) = delete;

    // Adds one entry in its ordered place. Returns false, adding nothing,
    // when the list is full.
    bool Add(const QByteArray &entry);
    // Adds all of `entries` as if one by one, in the given order, or none of
    // them when they would not all fit. Faster than adding them one by one.
    // When memory runs out, both leave the list as it was and throw
    // std::bad_alloc.
    bool Add(const QList<QByteArray> &entries);
    // The same for entries that are views (QByteArray::fromRawData) into the
    // blocks of `storage`, such as the lines of a file read whole: the list
    // keeps the blocks for as long as it lives, and its copies share them,
    // so that each entry costs no allocation and no copy of its own.
    bool Add(const QList<QByteArray> &entries, const QList<QByteArray> &storage);

    // From now on, the keys built where entries tie may take at most `room`
    // bytes more; an Add that would need more throws std::bad_alloc and
    // leaves the list as it was. A negative room is no limit.
    void limitKeyBytes(qsizetype room);

    qint16 Count() const { return qint16(m_entries.size()); }
    qint16 Room() const { return qint16(MaxCount - Count()); }

    // The entry at a 0-based position, byte for byte as added. An entry
    // added as a view stays one: a copy of it is good while this list or a
    // copy of it lives.
    const QByteArray &Item(qint16 position) const { return m_entries[size_t(position)].bytes; }

private:
    // An entry keeps the first bytes of its key, which most often decide
    // its order alone. Where they tie with another entry's, more of its key
    // is built, eight times as much each time, until the two differ or one
    // ends. What is known beyond the start lives in m_keyBytes, which only
    // grows: one buffer for all keys rather than an allocation for each.
    struct Entry
    {
        QByteArray bytes;
        // The key's first bytes, big-endian, padded with zero bytes.
        quint64 start = 0;
        // Where the known beginning of the key lives in m_keyBytes, or -1
        // when it is the start alone; how long it is; whether it is the
        // whole key.
        qsizetype keyAt = -1;
        qsizetype keySize = 0;
        bool whole = false;
        // How the entry's bytes are read, once building its key needed it.
        std::optional<collation::EntryEncoding> encoding;
    };

    Entry makeEntry(const QByteArray &bytes);
    int compare(Entry &a, Entry &b);
    QByteArrayView knownKey(const Entry &entry, uchar (&start)[8]) const;
    void extendKey(Entry &entry);
    size_t placeAfterEqual(Entry &entry, size_t listCount, size_t from = 0);
    void dropKeysFrom(qsizetype keyAt) noexcept;
    void forgetKeysFrom(qsizetype keyAt, size_t listCount) noexcept;

    void makeRoomForKey(qsizetype size) const;

    QLocale m_locale;
    collation::CollationKeyMaker m_keys;
    QByteArray m_keyBytes;
    qsizetype m_keyBytesLimit = -1;
    std::vector<Entry> m_entries;
    // What the entries added as views point into; never changed, only read,
    // so copies of the list on other threads share it safely.
    std::vector<QByteArray> m_storage;
};

} // namespace core
