#include "entryitems.h"
#include "entrylist/entrylist.h"
#include "entrylist/entrytext.h"
#include "entryorder.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace core;

namespace {

// Makes the allocation after the given number of them fail, for as long as
// it lives.
class FailingAllocation
{
public:
    explicit FailingAllocation(int allocations)
    {
        s_left = allocations;
        s_failed = false;
    }
    ~FailingAllocation()
    {
        s_failed = s_left < 0;
        s_left = -1;
    }

    // Whether the allocation about to be made fails.
    static bool fails()
    {
        if (s_left < 0)
            return false;
        return s_left-- == 0;
    }
    // Whether so many allocations were made that one failed, whether or not
    // its caller let that show, while the last lived.
    static bool failed() { return s_failed; }

private:
    static inline int s_left = -1;
    static inline bool s_failed = false;
};

QList<QByteArray> split(const char *entries)
{
    if (!*entries)
        return {};
    return QByteArray(entries).split('|');
}

const QLocale enUS(u"en_US"_s);

} // namespace

void *operator new(std::size_t size)
{
    if (FailingAllocation::fails())
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// Kept out of line: inlined where the memory was allocated, GCC 14 takes
// their free() for one that does not match operator new.
[[gnu::noinline]] void operator delete(void *memory) noexcept
{
    std::free(memory);
}

[[gnu::noinline]] void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

class tst_EntryList : public QObject
{
    Q_OBJECT

private slots:
    void addOneByOne_data();
    void addOneByOne();
    void batchMatchesOneByOne_data();
    void batchMatchesOneByOne();
    void batchMatchesOneByOneOnRandomLists_data();
    void batchMatchesOneByOneOnRandomLists();
    void keepsBytesAndShowsText();
    void capacity();
    void outOfMemoryLeavesListAsItWas();
};

// Entries are separated by '|' in the table.
void tst_EntryList::addOneByOne_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QList<QByteArray>>("added");
    QTest::addColumn<QList<QByteArray>>("ordered");

    for (const QString &locale : {u"C"_s, u"en_US"_s}) {
        const auto row = [&](const char *name, const char *added, const char *ordered) {
            QTest::addRow("%s %s", qPrintable(locale), name)
                    << locale << split(added) << split(ordered);
        };
        // The order itself is the collator's (tst_entrycollator): here, where
        // entries land, and that each one stays.
        row("b A c", "b|A|c", "A|b|c");
        row("apple and Apple both stay", "apple|Apple", "apple|Apple");
        row("equal entries keep arrival order", "APPLE|b|apple|Apple|a", "a|APPLE|apple|Apple|b");
        row("empty entries stay, first", "b|a||", "||a|b");
    }
}

void tst_EntryList::addOneByOne()
{
    QFETCH(QString, locale);
    QFETCH(QList<QByteArray>, added);
    QFETCH(QList<QByteArray>, ordered);

    EntryList list(locale == u"C" ? QLocale::c() : QLocale(locale));
    for (const QByteArray &entry : added)
        QVERIFY(list.Add(entry));
    QCOMPARE(itemsOf(list), ordered);
}

void tst_EntryList::batchMatchesOneByOne_data()
{
    QTest::addColumn<QList<QByteArray>>("existing");
    QTest::addColumn<QList<QByteArray>>("batch");

    const auto row = [](const char *name, const char *existing, const char *batch) {
        QTest::newRow(name) << split(existing) << split(batch);
    };
    row("into empty list", "", "c|a|b");
    row("empty batch", "a|b", "");
    row("equals in list and batch", "apple|Apple|b", "APPLE|apple|a|b|B");
    row("equals within batch", "", "x|X|x|a|A|a");
    row("batch all before", "x|y|z", "c|b|a");
    row("batch all after", "a|b|c", "z|y|x");
    row("a second file merges with the first", "b|d|f", "g|e|c|a");
    row("empty and spaces", "a| b|", "|  | a|");
    row("accents", "e|f|eb", "é|éa|E|É");
}

void tst_EntryList::batchMatchesOneByOne()
{
    QFETCH(QList<QByteArray>, existing);
    QFETCH(QList<QByteArray>, batch);

    EntryList single(enUS);
    EntryList batched(enUS);
    QVERIFY(single.Add(existing));
    QVERIFY(batched.Add(existing));
    for (const QByteArray &entry : batch)
        QVERIFY(single.Add(entry));
    QVERIFY(batched.Add(batch));
    QCOMPARE(itemsOf(batched), itemsOf(single));
}

void tst_EntryList::batchMatchesOneByOneOnRandomLists_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QByteArray>("stem");
    QTest::addColumn<QList<QByteArray>>("letters");
    // Random letters before the stem, and entries in each batch.
    QTest::addColumn<int>("head");
    QTest::addColumn<int>("perRound");
    const QList<QByteArray> latin = {"a", "A", "b", " ", "\xC3\xA9", "\xC3\x89", "e", "\xE9"};
    for (const QString &locale : {u"C"_s, u"en_US"_s, u"sv_SE"_s}) {
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("%s seed %u", qPrintable(locale), seed)
                    << locale << seed << QByteArray() << latin << 0 << 200;
    }
    // Entries are ordered by the starts of their keys as long as those
    // differ; these tie far beyond them.
    const QByteArray words = "Lorem ipsum dolor sit amet, "_ba.repeated(110);
    QTest::newRow("C tied for 3000 characters") << u"C"_s << 4u << words << latin << 0 << 200;
    QTest::newRow("en_US tied for 3000 characters")
            << u"en_US"_s << 4u << words << latin << 0 << 200;
    QTest::newRow("en_US differing only past the start")
            << u"en_US"_s << 5u << "abcdefghij"_ba << latin << 0 << 200;
    const QList<QByteArray> thai = {"\xE0\xB9\x80", "\xE0\xB8\x81", "\xE0\xB8\xB2", " "};
    QTest::newRow("th_TH leading vowel at the end decides")
            << u"th_TH"_s << 6u << "\xE0\xB9\x80\xE0\xB8\x81\xE0\xB8\xA1"_ba.repeated(400) << thai
            << 0 << 200;
    const QList<QByteArray> czech = {"c", "h", "C", "H", "i"};
    QTest::newRow("cs_CZ ch at the end decides")
            << u"cs_CZ"_s << 7u << "chrt "_ba.repeated(600) << czech << 0 << 200;
    // Batches of more than 16 MB are worked on by two threads; the head
    // makes runs of tied entries for both.
    const QByteArray wide = "Lorem ipsum dolor sit amet, "_ba.repeated(1500);
    const QList<QByteArray> heads = {"a", "b", "c", "\xC3\xA9"};
    QTest::newRow("C batches of 17 MB") << u"C"_s << 8u << wide << heads << 1 << 420;
    QTest::newRow("en_US batches of 17 MB") << u"en_US"_s << 9u << wide << heads << 1 << 420;
}

// Few distinct letters make many entries equal, which is where arrival order
// can go wrong. Both orders must be that of the entries' whole keys.
void tst_EntryList::batchMatchesOneByOneOnRandomLists()
{
    QFETCH(QString, locale);
    QFETCH(quint32, seed);
    QFETCH(QByteArray, stem);
    QFETCH(QList<QByteArray>, letters);
    QFETCH(int, head);
    QFETCH(int, perRound);

    QRandomGenerator random(seed);
    const auto randomLetters = [&](int length) {
        QByteArray text;
        for (; length > 0; --length)
            text += letters[random.bounded(int(letters.size()))];
        return text;
    };
    const auto randomEntries = [&](int count) {
        QList<QByteArray> entries;
        for (int i = 0; i < count; ++i)
            entries << randomLetters(head) + stem + randomLetters(random.bounded(4));
        return entries;
    };

    const QLocale chosen = locale == u"C" ? QLocale::c() : QLocale(locale);
    EntryList single(chosen);
    auto batched = std::make_unique<EntryList>(chosen);
    QList<QByteArray> added;
    for (int round = 0; round < 4; ++round) {
        const QList<QByteArray> batch = randomEntries(perRound);
        for (const QByteArray &entry : batch)
            QVERIFY(single.Add(entry));
        // Every Open after the first adds to a copy of the list, which
        // keeps only the starts of the keys built so far.
        if (round > 1)
            batched = std::make_unique<EntryList>(*batched);
        QVERIFY(batched->Add(batch));
        added += batch;
    }
    QCOMPARE(itemsOf(*batched), itemsOf(single));

    collation::EntryCollator collator(chosen);
    QList<QByteArray> byOrder = added;
    std::stable_sort(byOrder.begin(), byOrder.end(), [&](const QByteArray &a, const QByteArray &b) {
        return entryOrder(collator, a, b) < 0;
    });
    QCOMPARE(itemsOf(*batched), byOrder);
}

void tst_EntryList::keepsBytesAndShowsText()
{
    EntryList list(enUS);
    const QByteArray latin1("caf\xE9\t", 5);
    const QByteArray withNul("a\0b", 3);
    QVERIFY(list.Add(QList<QByteArray>{latin1, withNul}));
    QCOMPARE(list.Item(0), withNul);
    QCOMPARE(list.Item(1), latin1);
    QCOMPARE(decodeEntry(list.Item(1)), u"café\t"_s);
}

void tst_EntryList::capacity()
{
    EntryList list(QLocale::c());
    QList<QByteArray> lines(EntryList::MaxCount - 1, "line"_ba);
    QVERIFY(list.Add(lines));
    QCOMPARE(list.Room(), qint16(1));

    // A batch larger than the room adds nothing at all.
    QVERIFY(!list.Add(QList<QByteArray>{"a", "b"}));
    QCOMPARE(list.Count(), qint16(EntryList::MaxCount - 1));

    QVERIFY(list.Add("a"_ba));
    QCOMPARE(list.Count(), EntryList::MaxCount);
    QCOMPARE(list.Room(), qint16(0));
    QVERIFY(!list.Add("b"_ba));
    QVERIFY(!list.Add(QList<QByteArray>{"b"}));
    QVERIFY(list.Add(QList<QByteArray>()));
    QCOMPARE(list.Count(), EntryList::MaxCount);
    QCOMPARE(list.Item(0), "a"_ba);
}

// Memory runs out at the first, then the second, then each further
// allocation of an Add, until the Add needs no more: each time the list
// must be as it was. The entries tie far beyond their starts, in other
// case, so that comparing them takes memory too.
void tst_EntryList::outOfMemoryLeavesListAsItWas()
{
    const QByteArray words = "Lorem ipsum dolor sit amet, "_ba.repeated(40);
    QList<QByteArray> batch;
    for (int i = 0; i < 300; ++i)
        batch << (i % 2 ? words.toUpper() : words) + QByteArray::number(299 - i);

    int failures = 0;
    for (int allocations = 0;; ++allocations) {
        EntryList list(enUS);
        QVERIFY(list.Add(QList<QByteArray>{"b", "d"}));
        try {
            const FailingAllocation failing(allocations);
            QVERIFY(list.Add(batch));
        } catch (const std::bad_alloc &) {
            ++failures;
            QCOMPARE(itemsOf(list), split("b|d"));
            continue;
        }
        QCOMPARE(list.Count(), qint16(302));
        QCOMPARE(list.Item(2).toByteArray(), words.toUpper() + "0");
        QCOMPARE(list.Item(301).toByteArray(), words + "99");
        // An allocation that failed where a sort makes do without the room
        // it asked for still lets the batch in.
        if (!FailingAllocation::failed())
            break;
    }
    QCOMPARE_GE(failures, 5);
}

QTEST_APPLESS_MAIN(tst_EntryList)
#include "tst_entrylist.moc"
