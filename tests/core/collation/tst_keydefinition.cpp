#include "collation/entrycollator.h"
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
            "\xF0\x90\x90\x80", "\xE9", "\x80", "\x9F", "\xFF", "\xC3", "\xED\xA0\x80",
            "\xC5\x93", "oe"};
    // clang-format on
    // Half of them pure ASCII, which has a path of its own.
    const int choices = random.bounded(2) ? 10 : int(pieces.size());
    QByteArray entry;
    // Now and then long enough for the counts of common weights to overflow.
    for (int length = random.bounded(random.bounded(8) ? 12 : 80); length > 0; --length)
        entry += pieces[random.bounded(choices)];
    return entry;
}

// Code points as a key holds them: UTF-8, each byte raised by one, then a
// zero byte.
QByteArray raised(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (char &byte : bytes)
        byte = char(uchar(byte) + 1);
    return bytes + '\0';
}

// The weights of a text where accents count from the end: ICU's primary
// weights, 0x01, then each letter from the last with its own weights and
// then its accents' in the order written, as ICU weighs them read from the
// end when they come in reverse before it, and 0x02. A letter is a code
// point with a primary weight and those without one that follow it.
QByteArray backwardWeights(const QString &locale, const QString &text)
{
    const Icu primary(locale, UCOL_OFF, UCOL_PRIMARY);
    const Icu fromTheEnd(locale, UCOL_OFF);
    QByteArray weights = primary.sortKey(text) + '\x01';
    QStringList letters;
    for (const uint c : text.toUcs4()) {
        const QString codePoint = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        if (letters.isEmpty() || !primary.sortKey(codePoint).isEmpty())
            letters << QString();
        letters.last() += codePoint;
    }
    for (auto letter = letters.crbegin(); letter != letters.crend(); ++letter) {
        QList<uint> codePoints = letter->normalized(QString::NormalizationForm_D).toUcs4();
        if (!codePoints.isEmpty()) {
            std::reverse(codePoints.begin() + 1, codePoints.end());
            std::rotate(codePoints.begin(), codePoints.begin() + 1, codePoints.end());
        }
        const QByteArray key = fromTheEnd.sortKey(QString::fromUcs4(
                reinterpret_cast<const char32_t *>(codePoints.constData()), codePoints.size()));
        const QByteArray accents = key.mid(key.indexOf('\x01') + 1);
        if (!accents.isEmpty())
            weights += accents + '\x02';
    }
    return weights;
}

} // namespace

class tst_KeyDefinition : public QObject
{
    Q_OBJECT

private slots:
    void keysMatchTheirDefinition_data();
    void keysMatchTheirDefinition();
    void longEntries();
    void tiesComparedFromWhereEntriesPart_data();
    void tiesComparedFromWhereEntriesPart();
};

void tst_KeyDefinition::keysMatchTheirDefinition_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : {u"C"_s, u"en_US"_s, u"de_DE"_s, u"sv_SE"_s, u"da_DK"_s,
                                  u"th_TH"_s, u"cs_CZ"_s, u"hu_HU"_s, u"fr_CA"_s})
        QTest::newRow(qPrintable(locale)) << locale;
}

// A key is the locale's weights of the folded text, a zero byte, and the
// folded text composed and as written. UTF-8, Windows-1252 and ASCII are
// each read their own way, and the start of a key comes from ICU part by
// part: the start must be the key's beginning, and entries whose starts tie
// must compare as their keys.
void tst_KeyDefinition::keysMatchTheirDefinition()
{
    QFETCH(QString, locale);
    EntryCollator collator(localeNamed(locale));
    const Icu icu(locale, UCOL_OFF);
    const auto definition = [&](const QString &text) -> QByteArray {
        const QString fold = folded(text);
        const QByteArray foldings =
                raised(fold.normalized(QString::NormalizationForm_C)) + raised(fold);
        if (locale == u"C")
            return foldings;
        if (locale == u"fr_CA")
            return backwardWeights(locale, fold) + '\0' + foldings;
        return icu.sortKey(fold) + '\0' + foldings;
    };
    const auto checkStart = [&](const QByteArray &entry, const QByteArray &key) {
        std::optional<EntryEncoding> encoding;
        const EntryCollator::Start start = collator.start(entry, encoding);
        QByteArray expected = key.first(qMin(key.size(), qsizetype(8)));
        QCOMPARE(start.whole, key.size() <= 8);
        expected.resize(8, '\0');
        QCOMPARE(start.bytes, qFromBigEndian<quint64>(expected.constData()));
    };
    QRandomGenerator random(7);

    const auto checkOrder = [&](const QByteArray &a, const QByteArray &b) {
        const QByteArray keys[] = {definition(decodeEntry(a)), definition(decodeEntry(b))};
        QCOMPARE(entryOrder(collator, a, b), keys[0] < keys[1] ? -1 : keys[0] == keys[1] ? 0 : 1);
    };
    QByteArray previous;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray entry = randomEntry(random);
        const QByteArray expected = definition(decodeEntry(entry));
        checkStart(entry, expected);
        // An ASCII head is weighed before the rest is read for its encoding,
        // which may still make the entry Windows-1252. Entries with the same
        // head tie in their starts.
        const QByteArray headed = "Ab-9 zY_" + entry;
        const QByteArray headedKey = definition(decodeEntry(headed));
        checkStart(headed, headedKey);
        if (!previous.isEmpty())
            checkOrder(previous, headed);
        previous = headed;
        // A twin whose letters weigh alike, but for accents, expansions
        // written out and case.
        QByteArray twin = headed;
        twin.replace("a", "\xC3\xA0").replace("\xC5\x93", "oe").replace("Z", "z");
        checkOrder(headed, twin);
    }
    // The locale's own words, with its contractions and expansions, but for
    // those that end in the beginning of a contraction sorting before them.
    if (locale != u"C" && locale != u"fr_CA") {
        const Alphabet alphabet(locale, icu);
        const QStringList &continuations = alphabet.continuations();
        QString previousWord;
        for (int i = 0; i < 500; ++i) {
            const QString word = alphabet.word(random, 6);
            if (std::any_of(continuations.begin(), continuations.end(), [&](const QString &more) {
                    return icu.compare(word + more, word) < 0;
                }))
                continue;
            checkStart(word.toUtf8(), definition(word));
            const QByteArray keys[] = {definition(previousWord), definition(word)};
            QCOMPARE(textOrder(collator, previousWord, word),
                     keys[0] < keys[1]            ? -1
                             : keys[0] == keys[1] ? 0
                                                  : 1);
            previousWord = word;
        }
    }
}

// A long entry's order must still follow the locale through its whole
// length, and an entry must still come before the longer entries it begins.
void tst_KeyDefinition::longEntries()
{
    EntryCollator collator{QLocale(u"en_US"_s)};
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
        QCOMPARE(textOrder(collator, ordered[i - 1], ordered[i]), -1);
    QCOMPARE(textOrder(collator, u"\u00DF"_s + words, u"\u00DF"_s + words + u"a"_s), -1);
    // Written in upper case, the same text from its first letter on.
    QCOMPARE(textOrder(collator, words.toUpper() + u"b"_s, words + u"a"_s), 1);

    const QString latin = words + u"caf\u00E9"_s;
    QCOMPARE(entryOrder(collator, latin.toLatin1(), latin.toUtf8()), 0);

    EntryCollator thai{QLocale(u"th_TH"_s)};
    const QString thaiWords = u"\u0E40\u0E01\u0E21\u0E02\u0E32"_s.repeated(8000);
    QCOMPARE(textOrder(thai, thaiWords, thaiWords + u"\u0E01"_s), -1);
    QCOMPARE(textOrder(thai, thaiWords + u"\u0E40"_s, thaiWords + u"\u0E40\u0E01"_s), -1);

    // A hamza above joins Persian ی into a letter that sorts first; it must
    // still come after the text without it, in a long text as in a short.
    EntryCollator persian{QLocale(u"fa_IR"_s)};
    const QString persianWords = u"\u06A9\u062A\u0627\u0628 "_s.repeated(4000);
    const QString yeh = u"\u06CC"_s;
    const QString yehHamza = u"\u06CC\u0654"_s;
    QCOMPARE(textOrder(persian, persianWords + yeh, persianWords + yehHamza), -1);
    QCOMPARE(textOrder(persian, persianWords + yehHamza, persianWords + yeh + u"\u0627"_s), -1);
    QCOMPARE(textOrder(persian, yehHamza, yehHamza + persianWords), -1);
}

void tst_KeyDefinition::tiesComparedFromWhereEntriesPart_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("letters");
    QTest::newRow("C") << u"C"_s << u"abcéåIıß "_s;
    QTest::newRow("en_US") << u"en_US"_s << u"abcéåßłæ- "_s;
    QTest::newRow("tr_TR") << u"tr_TR"_s << u"abcIıİiçğş "_s;
    QTest::newRow("cs_CZ") << u"cs_CZ"_s << u"chcčřéí "_s;
    QTest::newRow("vi_VN") << u"vi_VN"_s << u"aăâeêoôơuưđ "_s;
    QTest::newRow("th_TH") << u"th_TH"_s << u"\u0E01\u0E02\u0E32\u0E40\u0E48"_s;
    QTest::newRow("fa_IR") << u"fa_IR"_s << u"\u06A9\u062A\u0627\u0628\u06CC\u0626 "_s;
    QTest::newRow("bo_CN") << u"bo_CN"_s << u"\u0F40\u0F63\u0FB2\u0F71\u0F80"_s;
    QTest::newRow("fr_CA") << u"fr_CA"_s << u"eéêèłc"_s;
}

// Entries that begin alike, byte for byte or composed in one and decomposed
// in the other, are compared from near where they part: what follows must
// order them as it orders the same endings after a short beginning. Random
// endings, marks among them, each beginning and ending a letter.
void tst_KeyDefinition::tiesComparedFromWhereEntriesPart()
{
    QFETCH(QString, locale);
    QFETCH(QString, letters);
    EntryCollator collator(localeNamed(locale));
    EntryCollator reference(localeNamed(locale));
    const QStringList marks = {u"\u0301"_s, u"\u0300"_s, u"\u0302"_s, u"\u0308"_s, u"\u0323"_s,
                               u"\u0306"_s, u"\u0654"_s, u"\u00AD"_s, u"\u034F"_s};
    QRandomGenerator random(3);
    const auto randomText = [&](int longest) {
        QString text;
        for (int length = random.bounded(longest + 1); length > 0; --length) {
            text += letters[random.bounded(int(letters.size()))];
            while (random.bounded(4) == 0)
                text += marks[random.bounded(int(marks.size()))];
        }
        return text;
    };
    for (int i = 0; i < 300; ++i) {
        // Where accents count from the end, letters count from the end too:
        // a beginning of one letter keeps them in step.
        const QString beginning = locale == u"fr_CA"
                ? QString(letters[random.bounded(int(letters.size()))])
                : randomText(3) + letters[random.bounded(int(letters.size()))];
        const QString a = randomText(4);
        const QString b = random.bounded(3) ? randomText(4) : a + randomText(1);
        const auto composed = [](const QString &text) {
            return text.normalized(QString::NormalizationForm_C);
        };
        const auto decomposed = [](const QString &text) {
            return text.normalized(QString::NormalizationForm_D);
        };
        const QString message = beginning + u" then "_s + a + u" | "_s + b;
        QVERIFY2(textOrder(collator, beginning.repeated(60) + a, beginning.repeated(60) + b)
                         == textOrder(collator, beginning + a, beginning + b),
                 qPrintable(message));
        // One entry compared with others in turn, from either side, as a
        // merge compares them, with nothing compared between; with a long
        // ending alike, they part and then go alike again, and the one
        // between goes alike to the end.
        const QString after = random.bounded(2) ? beginning.repeated(40) : QString();
        const QString composedA = composed(beginning.repeated(60) + a + after);
        for (const QString &other : QStringList{b, a, b, randomText(4), b + randomText(2)}) {
            const QString decomposedOther = decomposed(beginning.repeated(60) + other + after);
            const int order = textOrder(reference, composed(beginning + a + after),
                                        decomposed(beginning + other + after));
            const QString parted = message + u" | "_s + other + u" then "_s + after;
            QVERIFY2(textOrder(collator, composedA, decomposedOther) == order,
                     qPrintable(u"composed and decomposed "_s + parted));
            QVERIFY2(textOrder(collator, decomposedOther, composedA) == -order,
                     qPrintable(u"decomposed and composed "_s + parted));
        }
    }
}

QTEST_APPLESS_MAIN(tst_KeyDefinition)
#include "tst_keydefinition.moc"
