#include "collation/collationkey.h"
#include "collationtesting.h"
#include "entrylist/entrytext.h"

using core::decodeEntry;

#include <QTest>

#include <optional>

namespace {

// Lines as files hold them: mostly ASCII, some UTF-8 (two, three and four
// bytes, letters that fold to several, ignorables), some Latin-1.
QByteArray randomEntry(QRandomGenerator &random)
{
    // clang-format off
    static const QList<QByteArray> pieces = {
            "a", "Z", "m", " ", "0", "-", "_", "\t", QByteArray(1, '\0'), "\x7F",
            "\xC3\xA9", "\xC3\x89", "\xC3\x9F", "\xC3\xA5", "\xC3\x85", "\xC3\xB6",
            "\xC4\xB0", "\xC4\xB1", "\xC2\xAD", "\xCE\xA3", "\xD0\x96", "\xE1\xBA\x9E",
            "\xE2\x80\x8B", "\xE4\xB8\x80", "\xEF\xAC\x83", "\xEF\xBB\xBF", "\xF0\x9F\x98\x80",
            "\xF0\x90\x90\x80", "\xE9", "\x80", "\x9F", "\xFF", "\xC3", "\xED\xA0\x80"};
    // clang-format on
    // Half of them pure ASCII, which has a path of its own.
    const int choices = random.bounded(2) ? 10 : int(pieces.size());
    QByteArray entry;
    // Now and then long enough for the counts of common weights to overflow.
    for (int length = random.bounded(random.bounded(8) ? 12 : 80); length > 0; --length)
        entry += pieces[random.bounded(choices)];
    return entry;
}

} // namespace

class tst_KeyDefinition : public QObject
{
    Q_OBJECT

private slots:
    void keysMatchTheirDefinition_data();
    void keysMatchTheirDefinition();
    void longEntries();
};

void tst_KeyDefinition::keysMatchTheirDefinition_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : {u"C"_s, u"en_US"_s, u"de_DE"_s, u"sv_SE"_s, u"da_DK"_s,
                                  u"th_TH"_s, u"cs_CZ"_s, u"hu_HU"_s, u"fr_CA"_s})
        QTest::newRow(qPrintable(locale)) << locale;
}

// A key is the locale's sort key of the folded text, a zero byte and the
// folded text as UTF-8. UTF-8, Windows-1252 and ASCII are each read their
// own way, and the start of a key comes from ICU part by part: all must
// give exactly that key.
void tst_KeyDefinition::keysMatchTheirDefinition()
{
    QFETCH(QString, locale);
    const CollationKeyMaker keys(localeNamed(locale));
    const Icu icu(locale, UCOL_OFF);
    const auto definition = [&](const QString &text) {
        const QString fold = folded(text);
        return locale == u"C" ? fold.toUtf8() : icu.sortKey(fold) + '\0' + fold.toUtf8();
    };
    QRandomGenerator random(7);

    for (int i = 0; i < 3000; ++i) {
        const QByteArray entry = randomEntry(random);
        const QString text = decodeEntry(entry);
        const QByteArray expected = definition(text);
        QCOMPARE(entryKey(keys, entry), expected);
        // The start of a key is the key's beginning, or the whole key.
        QByteArray start;
        std::optional<EntryEncoding> entryEncoding;
        const bool whole = keys.appendEntryKeyStart(entry, 8, start, entryEncoding);
        QCOMPARE(start, whole ? expected : expected.first(8));
        // An ASCII head is weighed before the rest is read for its encoding,
        // which may still make the entry Windows-1252; a key built further
        // reads the encoding once.
        const QByteArray headed = "Ab-9 zY_" + entry;
        const QByteArray headedKey = definition(decodeEntry(headed));
        std::optional<EntryEncoding> encoding;
        for (const qsizetype size : {8, 64}) {
            QByteArray headedStart;
            const bool headedWhole = keys.appendEntryKeyStart(headed, size, headedStart, encoding);
            QCOMPARE(headedStart, headedWhole ? headedKey : headedKey.first(size));
        }
    }
    // The locale's own words, with its contractions and expansions, but for
    // those that end in the beginning of a contraction sorting before them.
    if (locale != u"C") {
        const Alphabet alphabet(locale, icu);
        const QStringList &continuations = alphabet.continuations();
        for (int i = 0; i < 500; ++i) {
            const QString word = alphabet.word(random, 6);
            if (std::any_of(continuations.begin(), continuations.end(), [&](const QString &more) {
                    return icu.compare(word + more, word) < 0;
                }))
                continue;
            QCOMPARE(entryKey(keys, word.toUtf8()), definition(word));
        }
    }
}

// A long entry's key must still follow the locale through its whole length,
// and an entry must still come before the longer entries it begins.
void tst_KeyDefinition::longEntries()
{
    const CollationKeyMaker keys{QLocale(u"en_US"_s)};
    const QString words = u"lorem ipsum dolor sit amet "_s.repeated(1500);
    // The hamza adds a secondary weight only.
    const QStringList ordered = {words,
                                 words + u"\u0654"_s,
                                 words + u"a"_s,
                                 words + u"\u00DF"_s,
                                 words + u"ss "_s,
                                 words + u"t"_s,
                                 words + u"\u0E40"_s};
    for (qsizetype i = 1; i < ordered.size(); ++i)
        QCOMPARE_LT(textKey(keys, ordered[i - 1]), textKey(keys, ordered[i]));
    QCOMPARE_LT(textKey(keys, u"\u00DF"_s + words), textKey(keys, u"\u00DF"_s + words + u"a"_s));

    const QString latin = words + u"caf\u00E9"_s;
    QCOMPARE(entryKey(keys, latin.toLatin1()), entryKey(keys, latin.toUtf8()));

    const CollationKeyMaker thai{QLocale(u"th_TH"_s)};
    const QString thaiWords = u"\u0E40\u0E01\u0E21\u0E02\u0E32"_s.repeated(8000);
    QCOMPARE_LT(textKey(thai, thaiWords), textKey(thai, thaiWords + u"\u0E01"_s));
    QCOMPARE_LT(textKey(thai, thaiWords + u"\u0E40"_s),
                textKey(thai, thaiWords + u"\u0E40\u0E01"_s));

    // A hamza above joins Persian ی into a letter that sorts first; it must
    // still come after the text without it, in a long text as in a short.
    const CollationKeyMaker persian{QLocale(u"fa_IR"_s)};
    const QString persianWords = u"\u06A9\u062A\u0627\u0628 "_s.repeated(4000);
    const QString yeh = u"\u06CC"_s;
    const QString yehHamza = u"\u06CC\u0654"_s;
    QCOMPARE_LT(textKey(persian, persianWords + yeh), textKey(persian, persianWords + yehHamza));
    QCOMPARE_LT(textKey(persian, persianWords + yehHamza),
                textKey(persian, persianWords + yeh + u"\u0627"_s));
    QCOMPARE_LT(textKey(persian, yehHamza), textKey(persian, yehHamza + persianWords));
}

QTEST_APPLESS_MAIN(tst_KeyDefinition)
#include "tst_keydefinition.moc"
