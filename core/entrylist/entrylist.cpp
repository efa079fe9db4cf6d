#include "entrylist/entrylist.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

namespace core {

namespace {

// Batches of more bytes than this are worked on by two threads.
constexpr qsizetype twoThreadBytes = 16 * 1024 * 1024;

qsizetype bytesOf(const QList<QByteArray> &entries)
{
    qsizetype bytes = 0;
    for (const QByteArray &entry : entries)
        bytes += entry.size();
    return bytes;
}

// Runs `first` here and `second` on a thread of its own at once, and
// returns when both are done; what either throws is thrown here once both
// are. Where no thread can be had, `second` runs here after `first`.
template<typename First, typename Second> void runBoth(First first, Second second)
{
    std::exception_ptr secondFailed;
    std::thread thread;
    try {
        thread = std::thread([&] {
            try {
                second();
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    } catch (const std::system_error &) {
        first();
        second();
        return;
    }
    std::exception_ptr firstFailed;
    try {
        first();
    } catch (...) {
        firstFailed = std::current_exception();
    }
    thread.join();
    if (firstFailed)
        std::rethrow_exception(firstFailed);
    if (secondFailed)
        std::rethrow_exception(secondFailed);
}

} // namespace

EntryList::EntryList(const QLocale &locale)
    : m_locale(locale)
    , m_collator(locale)
{ }

EntryList::EntryList(const EntryList &other)
    : EntryList(other.m_locale)
{
    m_storage = other.m_storage;
    m_entries = other.m_entries;
}

EntryList::Entry EntryList::makeEntry(collation::EntryCollator &collator, const QByteArray &bytes)
{
    Entry entry;
    entry.bytes = bytes;
    const collation::EntryCollator::Start start = collator.start(bytes, entry.encoding);
    entry.start = start.bytes;
    entry.whole = start.whole;
    return entry;
}

// Does `work` on the items from 0 to `count`. With `twoThreads`, those
// from the one where half of their total `weight` is reached go to a second
// thread with a collator of its own.
void EntryList::workInHalves(size_t count, const Weight &weight, bool twoThreads, const Work &work)
{
    if (!twoThreads) {
        work(m_collator, 0, count);
        return;
    }
    size_t total = 0;
    for (size_t i = 0; i < count; ++i)
        total += weight(i);
    size_t half = 0;
    for (size_t first = 0; first < total / 2; ++half)
        first += weight(half);
    const auto first = [&] {
        work(m_collator, 0, half);
    };
    const auto second = [&] {
        collation::EntryCollator collator(m_locale);
        work(collator, half, count);
    };
    runBoth(first, second);
}

// Makes the entries of `entries` into `made`, halves of their bytes on two
// threads with `twoThreads`.
void EntryList::makeEntries(const QList<QByteArray> &entries, Entry *made, bool twoThreads)
{
    const auto bytes = [&](size_t i) {
        return size_t(entries[qsizetype(i)].size());
    };
    const auto makeRange = [&](collation::EntryCollator &collator, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            made[i] = makeEntry(collator, entries[qsizetype(i)]);
    };
    workInHalves(size_t(entries.size()), bytes, twoThreads, makeRange);
}

// Orders each run of batch records whose starts tie, halves of those
// records on two threads with `twoThreads`.
void EntryList::sortTiedRuns(Entry *batch, std::vector<SortRecord> &order, bool twoThreads)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t run = 0, end = 1; run < order.size(); run = end++) {
        while (end < order.size() && order[end].start == order[run].start)
            ++end;
        if (end - run > 1)
            runs.emplace_back(run, end);
    }
    const auto records = [&](size_t i) {
        return runs[i].second - runs[i].first;
    };
    const auto sortRuns = [&](collation::EntryCollator &collator, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            sortTied(collator, batch, order.begin() + qsizetype(runs[i].first),
                     order.begin() + qsizetype(runs[i].second));
        }
    };
    workInHalves(runs.size(), records, twoThreads, sortRuns);
}

// Orders two entries by the starts of their keys, and where those tie, by
// the entries themselves.
int EntryList::compare(collation::EntryCollator &collator, Entry &a, Entry &b)
{
    if (a.start != b.start)
        return a.start < b.start ? -1 : 1;
    if (a.whole && b.whole)
        return 0;
    return collator.compareTied(a.bytes, a.encoding, b.bytes, b.encoding);
}

bool EntryList::Add(QByteArrayView entry)
{
    if (Room() == 0)
        return false;
    Entry added = makeEntry(m_collator, entry.toByteArray());
    const size_t place = placeAfterEqual(added, m_entries.size());
    m_entries.insert(m_entries.begin() + qsizetype(place), std::move(added));
    return true;
}

bool EntryList::Add(const QList<QByteArray> &entries, const QList<QByteArray> &storage)
{
    if (entries.size() > Room())
        return false;

    // The batch's entries go to the end of the list for now, in arrival
    // order, until every place is known; should memory run out meanwhile,
    // the list is put back as it was. Moving the entries costs no memory.
    const size_t listCount = m_entries.size();
    const auto count = size_t(entries.size());
    std::vector<SortRecord> order;
    std::vector<size_t> places;
    std::vector<Entry> sorted;
    try {
        m_storage.reserve(m_storage.size() + size_t(storage.size()));
        m_entries.reserve(listCount + count);
        order.resize(count);
        m_entries.resize(listCount + count);
        Entry *batch = m_entries.data() + listCount;
        // Long entries take longer to be read for their encodings, their
        // starts and their ties than to be sorted: a batch of many bytes is
        // worked on by two threads, each with a collator of its own.
        const bool twoThreads = bytesOf(entries) > twoThreadBytes;
        makeEntries(entries, batch, twoThreads);
        for (size_t i = 0; i < count; ++i)
            order[i] = {batch[i].start, qsizetype(i)};
        // By their starts first, which orders most entries, equal starts in
        // arrival order.
        std::sort(order.begin(), order.end(), [](const SortRecord &a, const SortRecord &b) {
            return a.start != b.start ? a.start < b.start : a.index < b.index;
        });
        sortTiedRuns(batch, order, twoThreads);
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

// Orders batch entries whose starts tie. They are first put in the order
// of their bytes, which brings together those that begin alike byte for
// byte and are told apart where they part (see compareTied()); a merge sort
// then compares entries that begin alike, and compares each with one that
// begins otherwise about once. Equal entries keep their arrival order, so
// the batch comes out as adding it one by one would leave it.
void EntryList::sortTied(collation::EntryCollator &collator, Entry *batch,
                         std::vector<SortRecord>::iterator begin,
                         std::vector<SortRecord>::iterator end)
{
    // Whole keys that are equal are equal entries, in arrival order already.
    bool allWhole = true;
    for (auto record = begin; record != end && allWhole; ++record)
        allWhole = batch[record->index].whole;
    if (end - begin < 2 || allWhole)
        return;
    // A few are compared with each other whatever their order.
    if (end - begin > 8) {
        std::sort(begin, end, [&](const SortRecord &a, const SortRecord &b) {
            return batch[a.index].bytes < batch[b.index].bytes;
        });
    }
    std::stable_sort(begin, end, [&](const SortRecord &a, const SortRecord &b) {
        const int byEntry = compare(collator, batch[a.index], batch[b.index]);
        return byEntry != 0 ? byEntry < 0 : a.index < b.index;
    });
}

// The place after every one of the first `listCount` entries that is equal
// to or below `entry`, searched from `from` on: in steps that double, then
// halving the last step, so that placing a sorted batch compares about as
// many entries as merging it, and a single entry about as few as a binary
// search.
size_t EntryList::placeAfterEqual(Entry &entry, size_t listCount, size_t from)
{
    size_t low = from;
    size_t high = listCount;
    for (size_t step = 1; low + step - 1 < high; step *= 2) {
        const size_t probe = low + step - 1;
        if (compare(m_collator, entry, m_entries[probe]) < 0) {
            high = probe;
            break;
        }
        low = probe + 1;
    }
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (compare(m_collator, entry, m_entries[middle]) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

} // namespace core
