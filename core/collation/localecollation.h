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

// A locale's collator, set up as keys need it: accents count, in the order
// the locale reads them, case is left to the folding, spaces and punctuation
// are not ignorable. Besides ICU's sort keys, it knows what the order rules
// ask of a text's end: where it ends in the beginning of a contraction,
// where a mark after it would join its last letter, and the order of its
// last marks.
class LocaleCollation
{
public:
    // Null when ICU has no collator for the locale.
    static std::unique_ptr<LocaleCollation> open(const QLocale &locale);
    ~LocaleCollation();
    LocaleCollation(const LocaleCollation &) = delete;
    LocaleCollation &operator=(const LocaleCollation &) = delete;

    // Appends the sort key of `text`, without its terminating zero byte.
    void appendSortKey(std::u16string_view text, QByteArray &to) const;
    // Appends at most `count` bytes of the sort key of the text `iterator`
    // reads, reading no more of it than they take; returns whether they are
    // the whole key. The bytes are those of appendSortKey().
    bool appendSortKeyStart(UCharIterator &iterator, qsizetype count, QByteArray &to) const;
    // Every key of a text that begins with a space is below this.
    QByteArrayView spaceLimit() const { return m_spaceLimit; }

    // Whether a code point follows another in a contraction or context
    // mapping, so that its weights depend on what comes before it.
    bool continuesContraction(char32_t codePoint)
    {
        return knowing(codePoint).continuing.count(codePoint) != 0;
    }
    // The end of a contraction that `text` ends in the beginning of, such
    // that `text` with it sorts lowest of all texts that begin with `text`,
    // when that is below `text` alone; else empty.
    std::u16string lowestContinuation(std::u16string_view text);

    // Whether the locale compares accents from the end of a text, as
    // Canadian French does.
    bool backwardSecondaries() const { return m_backwardSecondaries; }
    // Whether `mark`, written after `text` and before `following`, would
    // join a letter of it into one that sorts before `text` alone, though no
    // composed letter is formed: Vietnamese ơ with a circumflex, Persian ی
    // with a hamza above, a Khmer consonant with a robat.
    bool joinsLower(std::u16string_view text, std::u16string_view mark,
                    std::u16string_view following) const;
    // Writes the marks after the last letter of `text` in reverse, its own
    // included, so that with backward secondaries they count in the order
    // written, and a mark added after a mark extends the key.
    void reverseLastMarks(std::u16string &text) const;

private:
    explicit LocaleCollation(UCollator *collator);
    // ASCII is in contractions of the tailoring only; the root collation's
    // are added when other code points need them. Both are listed on first
    // use, since large tailorings (Chinese, Japanese) take ICU a while.
    const Contractions &knowing(char32_t codePoint)
    {
        return codePoint < 0x80 ? tailored() : all();
    }
    const Contractions &tailored();
    const Contractions &all();

    UCollator *const m_collator;
    QByteArray m_spaceLimit;
    bool m_backwardSecondaries = false;
    std::unique_ptr<Contractions> m_tailored;
    std::unique_ptr<Contractions> m_all;
};

} // namespace collation
