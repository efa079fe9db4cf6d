#include "collation/entrycollator.h"
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
    // The rules that may put two words in the other order than ICU's:
    //   case: they are equal but for case, or once their case is folded
    //     (some tailorings write a letter of two characters in small
    //     letters only);
    //   begins: the first begins the second, as a person sees them (NFC);
    //   after its beginning: the second sorts below a beginning of its own,
    //     which ICU sorts after the first, so it goes right after that;
    //   lowest continuation: the first ends in the beginning of a
    //     contraction whose completion ICU sorts before it, no later than
    //     the second, so it goes right before that.
    QTest::addColumn<QStringList>("rules");
    const QStringList rules = {u"case"_s, u"begins"_s};
    for (const char *locale :
         {"cs_CZ", "sk_SK", "hu_HU", "da_DK", "nb_NO", "tr_TR", "az_AZ", "vi_VN", "ja_JP",
          "zh_CN", "ko_KR", "en_US", "de_DE", "sv_SE", "pl_PL", "es_ES", "fr_FR", "fr_CA",
          "lt_LT", "mt_MT", "ru_RU", "el_GR", "ar_SA", "hi_IN", "km_KH"})
        QTest::newRow(locale) << QString::fromLatin1(locale) << rules;
    // Persian writes ی with a hamza above as ئ, which sorts first.
    QTest::newRow("fa_IR") << u"fa_IR"_s << rules + QStringList{u"after its beginning"_s};
    // A lone leading vowel, and Welsh n before ng.
    for (const char *locale : {"th_TH", "lo_LA", "cy_GB"}) {
        QTest::newRow(locale) << QString::fromLatin1(locale)
                              << rules + QStringList{u"lowest continuation"_s};
    }
}

// Random words of a language, sorted by their keys, and compared pair by
// pair with ICU's own comparison. Where the two disagree, one of the rules
// the row names must force the list's way.
void tst_LocaleOrder::followsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, rules);
    const Icu icu(locale, UCOL_ON);
    const Alphabet alphabet(locale, icu);
    EntryCollator collator{QLocale(locale)};
    QRandomGenerator random(11);

    QStringList words;
    for (int i = 0; i < 600; ++i) {
        const QString word = alphabet.word(random, 6);
        words.append(word);
        if (random.bounded(6) == 0)
            words.append(QString(word + alphabet.letter(random))
                                 .normalized(QString::NormalizationForm_C));
    }
    std::stable_sort(words.begin(), words.end(), [&](const QString &a, const QString &b) {
        return textOrder(collator, a, b) < 0;
    });

    const auto nfc = [](const QString &text) {
        return text.normalized(QString::NormalizationForm_C);
    };
    const auto forcedBy = [&](const QString &rule, const QString &first, const QString &second) {
        const QStringList &continuations = alphabet.continuations();
        if (rule == u"case")
            return textOrder(collator, first, second) == 0
                    || icu.compare(folded(first), folded(second)) <= 0;
        if (rule == u"begins")
            return nfc(second).startsWith(nfc(first));
        if (rule == u"after its beginning") {
            const QList<uint> codePoints = nfc(second).toUcs4();
            for (qsizetype length = 1; length < codePoints.size(); ++length) {
                const QString beginning = QString::fromUcs4(
                        reinterpret_cast<const char32_t *>(codePoints.data()), length);
                if (icu.compare(second, beginning) < 0 && icu.compare(first, beginning) <= 0)
                    return true;
            }
            return false;
        }
        return std::any_of(continuations.begin(), continuations.end(), [&](const QString &more) {
            return icu.compare(first + more, first) < 0 && icu.compare(first + more, second) <= 0;
        });
    };
    QStringList disagreements;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &first = words[i - 1];
        const QString &second = words[i];
        if (icu.compare(second, first) < 0
            && std::none_of(rules.begin(), rules.end(),
                            [&](const QString &rule) { return forcedBy(rule, first, second); }))
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
// included, unless a mark composes a letter with its end; a word with a
// leading space comes before every word that begins with a letter or digit.
// Words are drawn with marks after their letters, as decomposed text and
// text with accents out of their canonical order have them; the order is
// one: two words are ordered one way whichever comes first, and a sorted
// list is in order throughout.
void tst_LocaleOrder::rulesHoldInEveryLocale()
{
    QFETCH(QString, locale);
    const Icu icu(locale, UCOL_ON);
    const Alphabet alphabet(locale, icu);
    EntryCollator collator{QLocale(locale)};
    QRandomGenerator random(5);

    const QStringList marks = {u"\u0301"_s, u"\u0307"_s, u"\u0323"_s, u"\u0332"_s,
                               u"\u0654"_s, u"\u0E38"_s, u"\u0E48"_s, u"\u093C"_s,
                               u"\u0308"_s, u"\u0302"_s, u"\u0300"_s, u"\u00AD"_s};
    const auto markedWord = [&](int longest) {
        QString word;
        for (const uint c : alphabet.word(random, longest).toUcs4()) {
            word += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
            while (random.bounded(6) == 0)
                word += marks[random.bounded(int(marks.size()))];
        }
        return word;
    };
    const auto nfc = [&](const QString &text) {
        return folded(text, locale).normalized(QString::NormalizationForm_C);
    };
    QStringList words;
    for (int i = 0; i < 100; ++i) {
        const QString word = markedWord(4);
        const QString more =
                random.bounded(4) ? markedWord(2) : marks[random.bounded(int(marks.size()))];
        if (nfc(word + more).startsWith(nfc(word)) && nfc(word + more) != nfc(word)) {
            QVERIFY2(textOrder(collator, word, word + more) < 0,
                     qPrintable(word + u" < "_s + word + more));
        }
        QCOMPARE(textOrder(collator, word + more, word), -textOrder(collator, word, word + more));

        const QString other = alphabet.word(random, 4);
        if (u_isalnum(other.toUcs4().value(0))) {
            QVERIFY2(textOrder(collator, u" "_s + word, other) < 0,
                     qPrintable(u" "_s + word + u" < "_s + other));
        }
        words << word << word + more;
    }
    std::stable_sort(words.begin(), words.end(), [&](const QString &a, const QString &b) {
        return textOrder(collator, a, b) < 0;
    });
    for (qsizetype i = 0; i < words.size(); i += 7) {
        for (qsizetype j = i + 1; j < words.size(); ++j)
            QVERIFY2(textOrder(collator, words[i], words[j]) <= 0,
                     qPrintable(words[i] + u" <= "_s + words[j]));
    }
}

QTEST_APPLESS_MAIN(tst_LocaleOrder)
#include "tst_localeorder.moc"
