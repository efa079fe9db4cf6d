#pragma once

#include "collation/entrycollator.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QLocale>

#include <functional>
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
    // reading them again. Reads `other` only, so `other` may go on being
    // read meanwhile on another thread.
    explicit EntryList(const EntryList &other);
    EntryList &operator=(const EntryList &) = delete;

    // Adds a copy of one entry in its ordered place. Returns false, adding
    // nothing, when the list is full.
    bool Add(QByteArrayView entry);
    // Adds all of `entries` as if one by one, in the given order, or none of
    // them when they would not all fit; faster than one by one. Each entry
    // is a byte array of its own, or a view (QByteArray::fromRawData) into
    // one of the blocks of `storage`, such as the lines of a file read whole:
    // the list keeps the blocks for as long as it lives, and its copies
    // share them, so that such an entry costs no allocation and no copy.
    // When memory runs out, the list stays as it was and std::bad_alloc is
    // thrown.
    bool Add(const QList<QByteArray> &entries, const QList<QByteArray> &storage = {});

    qint16 Count() const { return qint16(m_entries.size()); }
    qint16 Room() const { return qint16(MaxCount - Count()); }

    // The entry at a 0-based position, byte for byte as added. The bytes
    // stay where they are for as long as this list or a copy of it lives.
    QByteArrayView Item(qint16 position) const { return m_entries[size_t(position)].bytes; }

private:
    // An entry keeps the start of its key, which most often decides its
    // order alone; where two starts tie, the entries themselves are
    // compared.
    struct Entry
    {
        QByteArray bytes;
        quint64 start = 0;
        // The start is the whole key.
        bool whole = false;
        // How the entry's bytes are read, once ordering it needed it.
        std::optional<collation::EntryEncoding> encoding;
    };

    // A batch is sorted as small records rather than as entries.
    struct SortRecord
    {
        quint64 start;
        qsizetype index;
    };

    static Entry makeEntry(collation::EntryCollator &collator, const QByteArray &bytes);
    using Weight = std::function<size_t(size_t item)>;
    using Work = std::function<void(collation::EntryCollator &, size_t from, size_t to)>;
    void workInHalves(size_t count, const Weight &weight, bool twoThreads, const Work &work);
    void makeEntries(const QList<QByteArray> &entries, Entry *made, bool twoThreads);
    static int compare(collation::EntryCollator &collator, Entry &a, Entry &b);
    void sortTiedRuns(Entry *batch, std::vector<SortRecord> &order, bool twoThreads);
    static void sortTied(collation::EntryCollator &collator, Entry *batch,
                         std::vector<SortRecord>::iterator begin,
                         std::vector<SortRecord>::iterator end);
    size_t placeAfterEqual(Entry &entry, size_t listCount, size_t from = 0);

    QLocale m_locale;
    collation::EntryCollator m_collator;
    std::vector<Entry> m_entries;
    // What the entries added as views point into; never changed, only read,
    // so copies of the list on other threads share it safely.
    std::vector<QByteArray> m_storage;
};

} // namespace core
