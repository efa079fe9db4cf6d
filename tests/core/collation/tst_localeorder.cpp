#include "collationkey.h"
#include "collationtesting.h"

#include <QTest>

class tst_LocaleOrder : public QObject
{
    Q_OBJECT

private slots:
    void followsTheLocale_data();
    void followsTheLocale();
    void rulesHoldInEveryLocale_data();
    void rulesHoldInEveryLocale();
};

void tst_LocaleOrder::followsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    for (const char *locale :
         {"cs_CZ", "sk_SK", "hu_HU", "da_DK", "nb_NO", "th_TH", "lo_LA", "tr_TR", "az_AZ",
          "vi_VN", "ja_JP", "zh_CN", "ko_KR", "en_US", "de_DE", "sv_SE", "pl_PL", "es_ES",
          "fr_FR", "lt_LT", "cy_GB", "mt_MT", "ru_RU", "el_GR", "ar_SA", "hi_IN"})
        QTest::newRow(locale) << QString::fromLatin1(locale);
}

// Random words of a language, sorted by their keys, and compared pair by
// pair with ICU's own comparison. Where the two disagree, one of the rules
// must force the list's way: the words are equal but for case, or agree
// once their case is folded (some tailorings write a letter of two
// characters in small letters only), the first begins the second, or the
// first ends in the beginning of a contraction whose completion ICU sorts
// before it, no later than the second.
void tst_LocaleOrder::followsTheLocale()
{
    QFETCH(QString, locale);
    const Icu icu(locale, UCOL_ON);
    const Alphabet alphabet(locale, icu);
    const CollationKeyMaker keys{QLocale(locale)};
    QRandomGenerator random(11);

    QList<std::pair<QByteArray, QString>> words;
    for (int i = 0; i < 600; ++i) {
        const QString word = alphabet.word(random, 6);
        words.append({textKey(keys, word), word});
        if (random.bounded(6) == 0) {
            const QString longer =
                    QString(word + alphabet.letter(random)).normalized(QString::NormalizationForm_C);
            words.append({textKey(keys, longer), longer});
        }
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    const auto forced = [&](const QString &first, const QString &second) {
        if (second.startsWith(first) || textKey(keys, first) == textKey(keys, second)
            || icu.compare(folded(first), folded(second)) <= 0)
            return true;
        const QStringList &continuations = alphabet.continuations();
        return std::any_of(continuations.begin(), continuations.end(), [&](const QString &more) {
            return icu.compare(first + more, first) < 0 && icu.compare(first + more, second) <= 0;
        });
    };
    QStringList disagreements;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &first = words[i - 1].second;
        const QString &second = words[i].second;
        if (icu.compare(second, first) < 0 && !forced(first, second))
            disagreements << first + u" > "_s + second;
    }
    QVERIFY2(disagreements.isEmpty(), qPrintable(disagreements.join(u", "_s)));
}

void tst_LocaleOrder::rulesHoldInEveryLocale_data()
{
    QTest::addColumn<QString>("locale");
    for (int32_t i = 0; i < ucol_countAvailable(); ++i)
        QTest::newRow(ucol_getAvailable(i)) << QString::fromLatin1(ucol_getAvailable(i));
}

// A word comes before the word followed by anything, combining marks
// included; a word with a leading space comes before every word that begins
// with a letter or digit.
void tst_LocaleOrder::rulesHoldInEveryLocale()
{
    QFETCH(QString, locale);
    const Icu icu(locale, UCOL_ON);
    const Alphabet alphabet(locale, icu);
    const CollationKeyMaker keys{QLocale(locale)};
    QRandomGenerator random(5);

    const QStringList marks = {u"\u0301"_s, u"\u0307"_s, u"\u0323"_s, u"\u0332"_s,
                               u"\u0654"_s, u"\u0E38"_s, u"\u0E48"_s, u"\u093C"_s};
    for (int i = 0; i < 100; ++i) {
        const QString word = alphabet.word(random, 4);
        const QString more = random.bounded(4) ? alphabet.word(random, 2)
                                               : marks[random.bounded(int(marks.size()))];
        QVERIFY2(textKey(keys, word) < textKey(keys, word + more),
                 qPrintable(word + u" < "_s + word + more));

        const QString other = alphabet.word(random, 4);
        if (u_isalnum(other.toUcs4().value(0))) {
            QVERIFY2(textKey(keys, u" "_s + word) < textKey(keys, other),
                     qPrintable(u" "_s + word + u" < "_s + other));
        }
    }
}

QTEST_APPLESS_MAIN(tst_LocaleOrder)
#include "tst_localeorder.moc"
