#include "collation/entrycollator.h"
#include "collationtesting.h"

#include <QTest>

namespace {

const QStringList ruleLocales = {u"C"_s, u"en_US"_s, u"de_DE"_s, u"sv_SE"_s, u"da_DK"_s};

enum class Order { Before, Equal };

} // namespace

Q_DECLARE_METATYPE(Order)

class tst_EntryCollator : public QObject
{
    Q_OBJECT

private slots:
    void orderRules_data();
    void orderRules();
    void localeOrder_data();
    void localeOrder();
    void collationLocaleFromEnvironment_data();
    void collationLocaleFromEnvironment();
};

// The four rules that hold whatever the locale: case does not count, the
// empty text comes first, a text comes before the longer texts it begins,
// and a space comes before every letter and digit.
void tst_EntryCollator::orderRules_data()
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
            {"prefix: mark that would go first", u"a\u0301"_s, u"a\u0301\u0332"_s, Order::Before},
            {"prefix: a mark after a mark", u"cot\u00E8"_s, u"cot\u00E8\u0301"_s, Order::Before},
            {"prefix: decomposed, a mark after a mark", u"e\u0300"_s, u"e\u0300\u0301"_s,
             Order::Before},
            {"prefix: a mark that composes nothing", u"ab"_s, u"ab\u0301"_s, Order::Before},
            {"prefix: composed, then decomposed with a soft hyphen", u"\u00E9"_s,
             u"e\u0301\u00AD"_s, Order::Before},
            {"prefix: a letter with no decomposition, then an accent", u"\u0142"_s,
             u"\u0142\u0301"_s, Order::Before},
            {"prefix: marks alone", u"\u0320"_s, u"\u0320\u0300"_s, Order::Before},
            {"prefix: marks, an ignorable, a mark", u"e\u0301\u00AD"_s, u"e\u0301\u00AD\u0300"_s,
             Order::Before},
            {"prefix: yeh with hamza and diaeresis, then a circumflex", u"\u0626\u0308"_s,
             u"\u0626\u0308\u0302"_s, Order::Before},
            {"prefix: lone Thai leading vowel", u"\u0E40"_s, u"\u0E40\u0E01"_s, Order::Before},
            {"prefix: the noncharacter U+FFFE", u"\u0434\uFFFE"_s, u"\u0434\uFFFE\u4E00"_s,
             Order::Before},
            {"prefix: dz with caron, then a circumflex", u"\u01C6"_s, u"\u01C6\u0302"_s,
             Order::Before},
            {"prefix: yeh with hamza and a circumflex, then b", u"\u0626\u0302"_s,
             u"\u0626\u0302b"_s, Order::Before},
            {"space: zebra apple", u" zebra"_s, u"apple"_s, Order::Before},
            {"space: before a", u" "_s, u"a"_s, Order::Before},
            {"space: before z", u" z"_s, u"a"_s, Order::Before},
            {"space: before 0", u" 9"_s, u"0"_s, Order::Before},
            {"space: before e acute", u" "_s, u"é"_s, Order::Before},
            {"space: before a ring", u" "_s, u"å"_s, Order::Before},
            {"space: before o umlaut", u" "_s, u"ö"_s, Order::Before},
            {"space: before tatweel", u" zebra"_s, u"\u0640"_s, Order::Before},
            {"space: before tatweel and tab", u" zebra"_s, u"\u0640\t"_s, Order::Before},
            {"space: inside", u"a b"_s, u"ab"_s, Order::Before},
            {"space: inside before digit", u"a z"_s, u"a0"_s, Order::Before},
    };
    for (const QString &locale : ruleLocales + QStringList{u"th_TH"_s, u"cy_GB"_s, u"fr_CA"_s}) {
        for (const Case &c : cases) {
            QTest::addRow("%s %s", qPrintable(locale), c.name)
                    << locale << c.first << c.second << c.order;
        }
    }
    // Norwegian tailors aa; case must still not count.
    for (const Case &c : cases) {
        if (QByteArray(c.name).startsWith("case"))
            QTest::addRow("nb_NO %s", c.name) << u"nb_NO"_s << c.first << c.second << c.order;
    }
    // Yiddish writes pe with a dagesh or a rafe as letters of their own: a
    // mark out of order after the rafe must not let a dagesh reach the pe.
    QTest::newRow("yi prefix: a mark out of order")
            << u"yi"_s << u"\u05E4\u05BF"_s << u"\u05E4\u05BF\u093C\u05BC"_s << Order::Before;
    // A mark that would join a letter into a lower one, composing none,
    // keeps the text after the text without it.
    QTest::newRow("vi prefix: co horn before it with a circumflex")
            << u"vi_VN"_s << u"c\u01A1"_s << u"c\u01A1\u0302"_s << Order::Before;
    QTest::newRow("fa prefix: farsi yeh before it with a hamza above")
            << u"fa_IR"_s << u"\u06A9\u062A\u0627\u0628\u06CC"_s
            << u"\u06A9\u062A\u0627\u0628\u06CC\u0654"_s << Order::Before;
    // In Turkish and Azerbaijani, I is the capital of ı and İ that of i; with
    // an accent, composed or not, it is the capital of i with that accent.
    for (const QString &locale : {u"tr_TR"_s, u"az_AZ"_s}) {
        const auto row = [&](const char *name, const QString &first, const QString &second,
                             Order order) {
            QTest::addRow("%s %s", qPrintable(locale), name) << locale << first << second << order;
        };
        row("case: IRMAK ırmak", u"IRMAK"_s, u"ırmak"_s, Order::Equal);
        row("case: İZMİR izmir", u"İZMİR"_s, u"izmir"_s, Order::Equal);
        row("case: dotless before dotted", u"ISTANBUL"_s, u"istanbul"_s, Order::Before);
        row("case: g breve", u"dağ"_s, u"DAĞ"_s, Order::Equal);
        row("case: MİLLÎ millî", u"MİLLÎ"_s, u"millî"_s, Order::Equal);
        row("case: decomposed I circumflex", u"MİLLI\u0302"_s, u"milli\u0302"_s, Order::Equal);
        row("case: I acute", u"Í"_s, u"í"_s, Order::Equal);
        row("case: I before a letter that folds to a letter and a mark", u"I\u01F0"_s, u"\u0131z"_s,
            Order::Before);
    }
}

void tst_EntryCollator::orderRules()
{
    QFETCH(QString, locale);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(Order, order);

    EntryCollator collator(localeNamed(locale));
    const int expected = order == Order::Equal ? 0 : -1;
    QCOMPARE(textOrder(collator, first, second), expected);
    QCOMPARE(textOrder(collator, second, first), -expected);
}

// Beyond the rules the locale decides.
void tst_EntryCollator::localeOrder_data()
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
    QTest::newRow("en_US decomposed next to composed")
            << u"en_US"_s << QStringList{u"cafe"_s, u"cafe\u0301"_s, u"café"_s, u"cafes"_s};
    QTest::newRow("de_DE umlaut next to its letter")
            << u"de_DE"_s << QStringList{u"a"_s, u"ä"_s, u"b"_s, u"o"_s, u"ö"_s, u"p"_s};
    QTest::newRow("sv_SE a ring, a umlaut, o umlaut after z")
            << u"sv_SE"_s << QStringList{u"z"_s, u"å"_s, u"ä"_s, u"ö"_s};
    QTest::newRow("sv_SE words") << u"sv_SE"_s
                                 << QStringList{u"Zorn"_s, u"Åsa"_s, u"äpple"_s, u"Örebro"_s};
    QTest::newRow("sv_SE a ring with a dot below between, after z")
            << u"sv_SE"_s << QStringList{u"z"_s, u"a\u0323\u030A"_s, u"ä"_s};
    QTest::newRow("sv_SE decomposed äpple next to composed, after zebra")
            << u"sv_SE"_s << QStringList{u"zebra"_s, u"a\u0308pple"_s, u"äpple"_s, u"öl"_s};
    QTest::newRow("da_DK ae, o slash, a ring after z")
            << u"da_DK"_s << QStringList{u"z"_s, u"æ"_s, u"ø"_s, u"å"_s};
    QTest::newRow("da_DK Aarhus after Zealand")
            << u"da_DK"_s << QStringList{u"Zealand"_s, u"Ærø"_s, u"Aarhus"_s};
    QTest::newRow("cs_CZ chata after hrad")
            << u"cs_CZ"_s << QStringList{u"cukr"_s, u"hrad"_s, u"chata"_s, u"CHATA2"_s, u"i"_s};
    QTest::newRow("hu_HU cs and sz are letters")
            << u"hu_HU"_s << QStringList{u"cukor"_s, u"csak"_s, u"dob"_s, u"sas"_s, u"szél"_s};
    QTest::newRow("th_TH leading vowel sorts by its consonant")
            << u"th_TH"_s << QStringList{u"กา"_s, u"เกม"_s, u"ขา"_s};
    QTest::newRow("th_TH lone leading vowel before the words it begins")
            << u"th_TH"_s << QStringList{u"กฮ"_s, u"เ"_s, u"เก"_s, u"เกม"_s, u"ขา"_s};
    QTest::newRow("tr_TR decomposed İZMİR next to izmir")
            << u"tr_TR"_s
            << QStringList{u"IZGARA"_s, u"izmir"_s, u"I\u0307ZMI\u0307R"_s, u"izmit"_s};
    QTest::newRow("sr_Latn č after c")
            << u"sr_Latn"_s << QStringList{u"cvet"_s, u"čaj"_s, u"ćup"_s};
    QTest::newRow("cy_GB n before the words it begins, ng after g")
            << u"cy_GB"_s << QStringList{u"mag"_s, u"man"_s, u"mang"_s, u"mah"_s};
    QTest::newRow("fr_CA accents compared from the end")
            << u"fr_CA"_s << QStringList{u"cote"_s, u"côte"_s, u"coté"_s, u"côté"_s};
    QTest::newRow("fr_CA a long text before it with an accent")
            << u"fr_CA"_s
            << QStringList{u"e"_s + u"cote "_s.repeated(4000), u"é"_s + u"cote "_s.repeated(4000)};
    QTest::newRow("cs_CZ a long text, then a space before h")
            << u"cs_CZ"_s
            << QStringList{u"ж"_s.repeated(20000) + u" a"_s, u"ж"_s.repeated(20000) + u"h"_s};
    QTest::newRow("ta_IN kssa after ka") << u"ta_IN"_s << QStringList{u"கட்ட"_s, u"க்ஷேமம்"_s};
    QTest::newRow("fr_CA decomposed accents compared from the end")
            << u"fr_CA"_s
            << QStringList{u"cote"_s, u"co\u0302te"_s, u"cote\u0301"_s, u"co\u0302te\u0301"_s};
    QTest::newRow("ar yeh after yeh with hamza, composed or not")
            << u"ar"_s
            << QStringList{u"فئة"_s, u"\u0641\u064A\u0654\u0629"_s, u"فأر"_s, u"فاز"_s, u"في"_s};
    QTest::newRow("fa yeh after teh, with a hamza above right after it")
            << u"fa_IR"_s
            << QStringList{u"کتابت"_s, u"کتابی"_s, u"\u06A9\u062A\u0627\u0628\u06CC\u0654"_s,
                           u"\u06A9\u062A\u0627\u0628\u06CC\u064B"_s, u"کتابیا"_s};
    QTest::newRow("mt g with a dot before g, composed or not")
            << u"mt_MT"_s << QStringList{u"g\u0307"_s, u"ġ"_s, u"g"_s, u"għ"_s, u"h"_s};
    // The circumflex joins o over the dots below, which are of one class
    // and need nothing between them.
    QTest::newRow("vi o horn, dots below, joining circumflex right after")
            << u"vi_VN"_s
            << QStringList{u"c\u01A1\u0323\u0323"_s, u"c\u01A1\u0323\u0323\u0302"_s,
                           u"c\u01A1\u0323\u0323\u0301"_s};
    QTest::newRow("vi o horn after o circumflex")
            << u"vi_VN"_s << QStringList{u"cô"_s, u"cốc"_s, u"côi"_s, u"cồn"_s, u"cơ"_s, u"cờ"_s};
    QTest::newRow("tr_TR I circumflex after i")
            << u"tr_TR"_s << QStringList{u"MILLI"_s, u"milli"_s, u"MİLLÎ"_s, u"millîler"_s};
    // Letters are compared from the last; œ is one letter, oe two. Long
    // enough for the accents to lie beyond the keys' starts.
    QTest::newRow("fr_CA last letters first, whatever comes before")
            << u"fr_CA"_s << QStringList{u"man\u0153uvr\u00E9"_s, u"manoeuvr\u00E8"_s};
    QTest::newRow("fr_CA accents out of their order count as written")
            << u"fr_CA"_s << QStringList{u"a\u0301\u0323"_s, u"a\u0323\u0301"_s};
    QTest::newRow("fr_CA a mark that continues a contraction elsewhere is an accent")
            << u"fr_CA"_s << QStringList{u"\u1EBF"_s, u"\u00EA\u0306"_s};
    // Both rules about the beginnings of letters written with two
    // characters apply: subjoined ra sorts with its lowest continuation,
    // and the vowel sign aa, which joins it into that, right after it.
    QTest::newRow("bo_CN a joining mark after the beginning of a letter")
            << u"bo_CN"_s << QStringList{u"\u0FB2"_s, u"\u0FB2\u0F71"_s, u"\u0F63"_s};
    QTest::newRow("C by code point")
            << u"C"_s << QStringList{u"Z1"_s, u"z2"_s, u"é"_s, u"\u4E00"_s};
    QTest::newRow("C a mark composes the letter before it")
            << u"C"_s << QStringList{u"abcdefgz"_s, u"abcdefge\u0301"_s};
    QTest::newRow("C decomposed next to composed")
            << u"C"_s << QStringList{u"z"_s, u"e\u0301"_s, u"é"_s, u"e\u0301a"_s, u"ê"_s};
}

void tst_EntryCollator::localeOrder()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, ordered);

    EntryCollator collator(localeNamed(locale));
    for (qsizetype i = 1; i < ordered.size(); ++i) {
        QVERIFY2(textOrder(collator, ordered[i - 1], ordered[i]) < 0,
                 qPrintable(ordered[i - 1] + u" < "_s + ordered[i]));
    }
}

void tst_EntryCollator::collationLocaleFromEnvironment_data()
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
    QTest::newRow("script from a modifier")
            << QByteArray() << QByteArray() << "sr_RS.UTF-8@latin"_ba << u"sr-Latn"_s;
}

void tst_EntryCollator::collationLocaleFromEnvironment()
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
    QCOMPARE(name.contains(u'-') ? locale.bcp47Name() : locale.name(), name);
}

QTEST_APPLESS_MAIN(tst_EntryCollator)
#include "tst_entrycollator.moc"
