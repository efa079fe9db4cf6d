#include "collationkey.h"
#include "entrytext.h"

#include <QRandomGenerator>
#include <QTest>

#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QStringList ruleLocales = {u"C"_s, u"en_US"_s, u"de_DE"_s, u"sv_SE"_s, u"da_DK"_s};

QLocale localeNamed(const QString &name)
{
    return name == u"C" ? QLocale::c() : QLocale(name);
}

enum class Order { Before, Equal };

// The key built the plain, slow way, straight from its definition: fold the
// whole text, take each folded code point's sort key from ICU and split it
// at its level separator, lay out all primaries, 0x01, all secondaries,
// 0x01, the folded text as UTF-8. Under C the folded text alone. The key
// maker builds keys from cached pieces instead; this is what it must equal.
class ReferenceKeys
{
public:
    explicit ReferenceKeys(const QString &locale)
    {
        if (locale == u"C")
            return;
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open(locale.toUtf8().constData(), &status);
        ucol_setStrength(m_collator, UCOL_SECONDARY);
        ucol_setAttribute(m_collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        ucol_setAttribute(m_collator, UCOL_FRENCH_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    }
    ~ReferenceKeys() { ucol_close(m_collator); }
    ReferenceKeys(const ReferenceKeys &) = delete;
    ReferenceKeys &operator=(const ReferenceKeys &) = delete;

    QByteArray key(const QString &text) const
    {
        QString folded(text.size() * 3, Qt::Uninitialized);
        UErrorCode status = U_ZERO_ERROR;
        folded.truncate(u_strFoldCase(reinterpret_cast<UChar *>(folded.data()),
                                      int32_t(folded.size()),
                                      reinterpret_cast<const UChar *>(text.utf16()),
                                      int32_t(text.size()), U_FOLD_CASE_DEFAULT, &status));
        if (!m_collator)
            return folded.toUtf8();

        QByteArray primary;
        QByteArray secondary;
        const auto *units = reinterpret_cast<const UChar *>(folded.utf16());
        for (int32_t i = 0; i < folded.size();) {
            const int32_t start = i;
            UChar32 codePoint;
            U16_NEXT(units, i, folded.size(), codePoint);
            uint8_t sortKey[512];
            const int32_t size = ucol_getSortKey(m_collator, units + start, i - start, sortKey,
                                                 int32_t(sizeof sortKey));
            const QByteArray levels(reinterpret_cast<const char *>(sortKey), size - 1);
            const qsizetype separator = levels.indexOf('\x01');
            primary += separator < 0 ? levels : levels.left(separator);
            secondary += separator < 0 ? QByteArray() : levels.mid(separator + 1);
        }
        return primary + '\x01' + secondary + '\x01' + folded.toUtf8();
    }

private:
    UCollator *m_collator = nullptr;
};

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
    for (int length = random.bounded(12); length > 0; --length)
        entry += pieces[random.bounded(choices)];
    return entry;
}

} // namespace

Q_DECLARE_METATYPE(Order)

class tst_CollationKey : public QObject
{
    Q_OBJECT

private slots:
    void orderRules_data();
    void orderRules();
    void localeOrder_data();
    void localeOrder();
    void weightsDoNotRunIntoTheNextCharacter_data();
    void weightsDoNotRunIntoTheNextCharacter();
    void keysMatchTheirDefinition_data();
    void keysMatchTheirDefinition();
    void collationLocaleFromEnvironment_data();
    void collationLocaleFromEnvironment();
};

// The four rules that hold whatever the locale: case does not count, the
// empty text comes first, a text comes before the longer texts it begins,
// and a space comes before every letter and digit.
void tst_CollationKey::orderRules_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<Order>("order");

    struct Case
    {
        const char *name;
        QString first;
        QString second;
        Order order;
    };
    const Case cases[] = {
            {"case: apple Apple", u"apple"_s, u"Apple"_s, Order::Equal},
            {"case: apple APPLE", u"apple"_s, u"APPLE"_s, Order::Equal},
            {"case: accented", u"éclair"_s, u"ÉCLAIR"_s, Order::Equal},
            {"case: a ring", u"åsa"_s, u"ÅSA"_s, Order::Equal},
            {"case: aa AA", u"aa"_s, u"AA"_s, Order::Equal},
            {"case: aa Aa", u"aa"_s, u"Aa"_s, Order::Equal},
            {"case: dotted i", u"istanbul"_s, u"ISTANBUL"_s, Order::Equal},
            {"empty: letter", QString(), u"a"_s, Order::Before},
            {"empty: space", QString(), u" "_s, Order::Before},
            {"empty: digit", QString(), u"0"_s, Order::Before},
            {"empty: punctuation", QString(), u"!"_s, Order::Before},
            {"empty: nul", QString(), QString(QChar(0)), Order::Before},
            {"empty: soft hyphen", QString(), u"\u00AD"_s, Order::Before},
            {"prefix: app apple", u"app"_s, u"apple"_s, Order::Before},
            {"prefix: a aa", u"a"_s, u"aa"_s, Order::Before},
            {"prefix: A aa", u"A"_s, u"aa"_s, Order::Before},
            {"prefix: a nul", u"a"_s, u"a"_s + QChar(0), Order::Before},
            {"prefix: a U+0001", u"a"_s, u"a\u0001"_s, Order::Before},
            {"prefix: a soft hyphen", u"a"_s, u"a\u00AD"_s, Order::Before},
            {"prefix: a zero-width space", u"a"_s, u"a\u200B"_s, Order::Before},
            {"prefix: a combining acute", u"a"_s, u"a\u0301"_s, Order::Before},
            {"prefix: e e acute", u"e"_s, u"é"_s, Order::Before},
            {"prefix: trailing space", u"a"_s, u"a "_s, Order::Before},
            {"space: zebra apple", u" zebra"_s, u"apple"_s, Order::Before},
            {"space: before a", u" "_s, u"a"_s, Order::Before},
            {"space: before z", u" z"_s, u"a"_s, Order::Before},
            {"space: before 0", u" 9"_s, u"0"_s, Order::Before},
            {"space: before e acute", u" "_s, u"é"_s, Order::Before},
            {"space: before a ring", u" "_s, u"å"_s, Order::Before},
            {"space: before o umlaut", u" "_s, u"ö"_s, Order::Before},
            {"space: inside", u"a b"_s, u"ab"_s, Order::Before},
            {"space: inside before digit", u"a z"_s, u"a0"_s, Order::Before},
    };
    for (const QString &locale : ruleLocales) {
        for (const Case &c : cases) {
            QTest::addRow("%s %s", qPrintable(locale), c.name)
                    << locale << c.first << c.second << c.order;
        }
    }
    // Azerbaijani and Norwegian tailor I, i and aa; case must still not count.
    for (const QString &locale : {u"az_AZ"_s, u"nb_NO"_s}) {
        for (const Case &c : cases) {
            if (QByteArray(c.name).startsWith("case"))
                QTest::addRow("%s %s", qPrintable(locale), c.name)
                        << locale << c.first << c.second << c.order;
        }
    }
}

void tst_CollationKey::orderRules()
{
    QFETCH(QString, locale);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(Order, order);

    const CollationKeyMaker keys(localeNamed(locale));
    const QByteArray firstKey = keys.key(first);
    const QByteArray secondKey = keys.key(second);
    if (order == Order::Equal) {
        QCOMPARE(firstKey, secondKey);
    } else {
        QCOMPARE_LT(firstKey, secondKey);
    }
}

// Beyond the rules the locale decides.
void tst_CollationKey::localeOrder_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("en_US accents next to their letter")
            << u"en_US"_s << QStringList{u"e"_s, u"é"_s, u"ê"_s, u"f"_s};
    QTest::newRow("en_US letters before accents")
            << u"en_US"_s << QStringList{u"éa"_s, u"eb"_s, u"éc"_s};
    QTest::newRow("en_US case before length")
            << u"en_US"_s << QStringList{u"eclair"_s, u"Éclair"_s, u"eclairs"_s};
    QTest::newRow("en_US digits before letters")
            << u"en_US"_s << QStringList{u" "_s, u"_"_s, u"1"_s, u"9"_s, u"a"_s};
    QTest::newRow("de_DE umlaut next to its letter")
            << u"de_DE"_s << QStringList{u"a"_s, u"ä"_s, u"b"_s, u"o"_s, u"ö"_s, u"p"_s};
    QTest::newRow("sv_SE a ring, a umlaut, o umlaut after z")
            << u"sv_SE"_s << QStringList{u"z"_s, u"å"_s, u"ä"_s, u"ö"_s};
    QTest::newRow("sv_SE words") << u"sv_SE"_s
                                 << QStringList{u"Zorn"_s, u"Åsa"_s, u"äpple"_s, u"Örebro"_s};
    QTest::newRow("da_DK ae, o slash, a ring after z")
            << u"da_DK"_s << QStringList{u"z"_s, u"æ"_s, u"ø"_s, u"å"_s};
    QTest::newRow("C by code point")
            << u"C"_s << QStringList{u"Z1"_s, u"z2"_s, u"é"_s, u"\u4E00"_s};
}

void tst_CollationKey::localeOrder()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, ordered);

    const CollationKeyMaker keys(localeNamed(locale));
    for (qsizetype i = 1; i < ordered.size(); ++i) {
        QVERIFY2(keys.key(ordered[i - 1]) < keys.key(ordered[i]),
                 qPrintable(ordered[i - 1] + u" < "_s + ordered[i]));
    }
}

// A key strings together the weights of each character. When one character
// sorts before another by its letter (not just by its accent), everything
// that follows must not change that: the weights of one character may not
// be read as the start of another's.
void tst_CollationKey::weightsDoNotRunIntoTheNextCharacter_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : ruleLocales)
        QTest::newRow(qPrintable(locale)) << locale;
}

void tst_CollationKey::weightsDoNotRunIntoTheNextCharacter()
{
    QFETCH(QString, locale);
    const CollationKeyMaker keys(localeNamed(locale));

    const QString leads = u" !-.,09azAZ_~éèêëàáâäåøöüñçıαжא\u4E00\U0001F600\u00A0\t"_s;
    const QStringList tails = {QString(),  u" "_s, u"a"_s, u"z"_s,      u"é"_s,
                               u"0"_s,     u"!"_s, u"ö"_s, u"\u00AD"_s, QString(QChar(0)),
                               u"\u4E00"_s};
    QStringList leadChars;
    for (qsizetype i = 0; i < leads.size(); ++i)
        leadChars << (leads[i].isHighSurrogate() ? leads.mid(i++, 2) : leads.mid(i, 1));

    int letterPairs = 0;
    for (const QString &x : leadChars) {
        for (const QString &y : leadChars) {
            // x comes before y by letter when even "xb" comes before "ya".
            if (!(keys.key(x + u'b') < keys.key(y + u'a')))
                continue;
            ++letterPairs;
            for (const QString &z : tails) {
                for (const QString &w : tails) {
                    QVERIFY2(keys.key(x + z) < keys.key(y + w),
                             qPrintable(x + z + u" < "_s + y + w));
                }
            }
        }
    }
    QVERIFY(letterPairs > leadChars.size() * 10);
}

void tst_CollationKey::keysMatchTheirDefinition_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : ruleLocales + QStringList{u"th_TH"_s, u"tr_TR"_s})
        QTest::newRow(qPrintable(locale)) << locale;
}

// Keys come from cached per-code-point pieces, and entries skip the QString:
// both must give exactly the key of the definition.
void tst_CollationKey::keysMatchTheirDefinition()
{
    QFETCH(QString, locale);
    const CollationKeyMaker keys(localeNamed(locale));
    const ReferenceKeys reference(locale);
    QRandomGenerator random(7);

    for (int i = 0; i < 3000; ++i) {
        const QByteArray entry = randomEntry(random);
        const QString text = decodeEntry(entry);
        const QByteArray expected = reference.key(text);
        QCOMPARE(keys.key(text), expected);
        QCOMPARE(keys.entryKey(entry), expected);
    }
    // A QString may hold lone surrogates, which no entry decodes to.
    for (int i = 0; i < 1000; ++i) {
        QString text;
        for (int length = random.bounded(6); length > 0; --length)
            text += QChar(char16_t(random.bounded(2) ? random.bounded(0xD7F0, 0xE010)
                                                     : random.bounded(0x20, 0x250)));
        QCOMPARE(keys.key(text), reference.key(text));
    }
}

void tst_CollationKey::collationLocaleFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcCollate");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("name");

    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << u"C"_s;
    QTest::newRow("LANG") << QByteArray() << QByteArray() << "sv_SE.UTF-8"_ba << u"sv_SE"_s;
    QTest::newRow("LC_COLLATE over LANG") << QByteArray() << "de_DE.UTF-8"_ba
                                          << "sv_SE.UTF-8"_ba << u"de_DE"_s;
    QTest::newRow("LC_ALL over all") << "da_DK.UTF-8"_ba
                                     << "de_DE"_ba
                                     << "sv_SE"_ba << u"da_DK"_s;
    QTest::newRow("modifier dropped")
            << QByteArray() << QByteArray() << "de_DE@euro"_ba << u"de_DE"_s;
    QTest::newRow("C.UTF-8") << QByteArray() << QByteArray() << "C.UTF-8"_ba << u"C"_s;
    QTest::newRow("POSIX over LANG") << "POSIX"_ba << QByteArray() << "sv_SE"_ba << u"C"_s;
}

void tst_CollationKey::collationLocaleFromEnvironment()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcCollate);
    QFETCH(QByteArray, lang);
    QFETCH(QString, name);

    const char *variables[] = {"LC_ALL", "LC_COLLATE", "LANG"};
    const QByteArray values[] = {lcAll, lcCollate, lang};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = qgetenv(variables[i]);
        if (values[i].isEmpty())
            qunsetenv(variables[i]);
        else
            qputenv(variables[i], values[i]);
    }
    const QLocale locale = collationLocale();
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isEmpty())
            qunsetenv(variables[i]);
        else
            qputenv(variables[i], saved[i]);
    }
    QCOMPARE(locale.name(), name);
}

QTEST_APPLESS_MAIN(tst_CollationKey)
#include "tst_collationkey.moc"
