#pragma once

#include "contractions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <memory>
#include <string>
#include <string_view>

struct UCollator;
struct UCharIterator;

namespace collation {

// A locale's collator, set up as the order needs it: accents count, case is
// left to the folding, spaces and punctuation are not ignorable. Besides
// ICU's sort keys and comparisons, it knows what the order rules ask of a
// text's end: where it ends in the beginning of a contraction, and where a
// mark after it would join its last letter.
//
// Where the locale compares accents from the end of a text (Canadian
// French), ICU weighs letters alone here, and the accents are weighed
// letter by letter (see BackwardAccents).
class LocaleCollation
{
public:
    // Null when ICU has no collator for the locale.
    static std::unique_ptr<LocaleCollation> open(const QLocale &locale);
    ~LocaleCollation();
    LocaleCollation(const LocaleCollation &) = delete;
    LocaleCollation &operator=(const LocaleCollation &) = delete;

    // Appends at most `count` bytes of the sort key of the text `iterator`
    // reads, reading no more of it than they take; returns whether they are
    // the whole key, which has no terminating zero byte.
    bool appendSortKeyStart(UCharIterator &iterator, qsizetype count, QByteArray &to) const;
    // Compares the texts two iterators read as their sort keys compare.
    int compare(UCharIterator &a, UCharIterator &b) const;
    // Every key of a text that begins with a space is below this.
    QByteArrayView spaceLimit() const { return m_spaceLimit; }

    // Whether a code point follows another in a contraction or context
    // mapping, so that its weights depend on what comes before it.
    bool continuesContraction(char32_t codePoint)
    {
        return knowing(codePoint).continuing.count(codePoint) != 0;
    }
    // Whether `text` carries a primary weight: a letter, digit, space or
    // sign, rather than an accent or a character ICU ignores.
    bool hasPrimaryWeight(std::u16string_view text) const;
    // The end of a contraction that `text` ends in the beginning of, such
    // that `text` with it sorts lowest of all texts that begin with `text`,
    // when that is below `text` alone; else empty. Looks at the end of
    // `text` only.
    std::u16string lowestContinuation(std::u16string_view text);
    // Whether `mark`, written after `text` and before `following`, would
    // join a letter of it into one that sorts before `text` alone, though no
    // composed letter is formed: Vietnamese ơ with a circumflex, Persian ی
    // with a hamza above, a Khmer consonant with a robat.
    bool joinsLower(std::u16string_view text, std::u16string_view mark,
                    std::u16string_view following) const;

    // Whether the locale compares accents from the end of a text, as
    // Canadian French does. Then the sort keys and comparisons above weigh
    // letters alone.
    bool backwardSecondaries() const { return m_primary != nullptr; }
    // Appends the secondary weights of `text` alone, as the locale reads
    // them (from the end, where it does), or from the start.
    void appendSecondaryWeights(std::u16string_view text, bool asTheLocaleReads,
                                QByteArray &to) const;

private:
    explicit LocaleCollation(UCollator *collator);
    // The sort key of `text` under `collator`, without its terminating zero
    // byte.
    static void appendSortKey(const UCollator *collator, std::u16string_view text, QByteArray &to);
    // ASCII is in contractions of the tailoring only; the root collation's
    // are added when other code points need them. Both are listed on first
    // use, since large tailorings (Chinese, Japanese) take ICU a while.
    const Contractions &knowing(char32_t codePoint)
    {
        return codePoint < 0x80 ? tailored() : all();
    }
    const Contractions &tailored();
    const Contractions &all();
    // The collator that orders: m_primary where accents count from the end.
    const UCollator *ordering() const { return m_primary ? m_primary : m_collator; }

    // Accents count from the start of a text here; where the locale counts
    // them from the end, m_primary weighs letters alone, and m_backward
    // counts accents from the end.
    UCollator *const m_collator;
    UCollator *m_primary = nullptr;
    UCollator *m_backward = nullptr;
    QByteArray m_spaceLimit;
    std::unique_ptr<Contractions> m_tailored;
    std::unique_ptr<Contractions> m_all;
};

} // namespace collation
