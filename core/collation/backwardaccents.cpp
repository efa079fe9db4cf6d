#include "backwardaccents.h"

#include "keytext.h"
#include "localecollation.h"

#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>

namespace collation {

namespace {

constexpr char letterEnd = '\x02';
// A letter with more accents than this is weighed this many units at a
// time, as letters of their own.
constexpr size_t longestLetter = 4096;

} // namespace

// The letters of a text's current segment, from its start.
class BackwardAccents::Letters
{
public:
    Letters(BackwardAccents &accents, KeyText &text)
        : m_accents(accents)
        , m_text(text)
    { }

    // Reads the next letter into `letter`; false at the segment's end.
    bool next(std::u16string &letter)
    {
        qsizetype start;
        qsizetype end;
        if (!skip(start, end))
            return false;
        read(start, end, letter);
        return true;
    }

    // Passes over the next letter, which is the units from `start` to
    // `end`; false at the segment's end.
    bool skip(qsizetype &start, qsizetype &end)
    {
        if (!m_text.available(m_at))
            return false;
        start = m_at;
        do {
            const char16_t unit = m_text.unit(m_at++);
            if (U16_IS_LEAD(unit) && m_text.available(m_at) && U16_IS_TRAIL(m_text.unit(m_at)))
                ++m_at;
        } while (m_text.available(m_at) && !beginsLetterAt(m_at)
                 && size_t(m_at - start) < longestLetter);
        end = m_at;
        return true;
    }

    void read(qsizetype start, qsizetype end, std::u16string &letter)
    {
        letter.clear();
        for (qsizetype at = start; at < end && m_text.available(at); ++at)
            letter += m_text.unit(at);
    }

    bool beginsLetterAt(qsizetype at)
    {
        char32_t c = m_text.unit(at);
        if (U16_IS_LEAD(c) && m_text.available(at + 1) && U16_IS_TRAIL(m_text.unit(at + 1)))
            c = U16_GET_SUPPLEMENTARY(c, m_text.unit(at + 1));
        return m_accents.beginsLetter(c);
    }

private:
    BackwardAccents &m_accents;
    KeyText &m_text;
    qsizetype m_at = 0;
};

BackwardAccents::BackwardAccents(LocaleCollation &collation)
    : m_collation(collation)
{ }

BackwardAccents::~BackwardAccents() = default;

bool BackwardAccents::beginsLetter(char32_t codePoint)
{
    auto &page = m_begins[codePoint >> 8];
    if (!page)
        page = std::make_unique<std::array<quint8, 0x100>>();
    quint8 &known = (*page)[codePoint & 0xFF];
    if (known == 0) {
        char16_t units[2];
        int32_t length = 0;
        U16_APPEND_UNSAFE(units, length, UChar32(codePoint));
        known = m_collation.hasPrimaryWeight(std::u16string_view(units, size_t(length))) ? 1 : 2;
    }
    return known == 1;
}

void BackwardAccents::weigh(const std::u16string &letter, QByteArray &weights)
{
    UChar32 first;
    int32_t firstSize = 0;
    U16_NEXT(letter.data(), firstSize, int32_t(letter.size()), first);
    const bool single = size_t(firstSize) == letter.size();
    if (single) {
        if (const auto known = m_single.find(char32_t(first)); known != m_single.end()) {
            weights = known->second;
            return;
        }
    }
    // The letter decomposed: its first code point, then the accents of
    // its decomposition and those written after it.
    m_accents.clear();
    UChar32 letterItself = first;
    for (int32_t at = 0; at < int32_t(letter.size());) {
        UChar32 c;
        U16_NEXT(letter.data(), at, int32_t(letter.size()), c);
        UErrorCode status = U_ZERO_ERROR;
        UChar decomposition[32];
        int32_t size = unorm2_getDecomposition(unorm2_getNFDInstance(&status), c, decomposition, 32,
                                               &status);
        if (U_FAILURE(status) || size <= 0) {
            size = 0;
            U16_APPEND_UNSAFE(decomposition, size, c);
        }
        for (int32_t from = 0; from < size;) {
            UChar32 part;
            U16_NEXT(decomposition, from, size, part);
            if (at == firstSize && from == U16_LENGTH(part))
                letterItself = part;
            else
                m_accents += char32_t(part);
        }
    }
    // The accents in reverse, then the letter: read from the end, its own
    // weights come first, then its accents in the order written.
    m_reversed.clear();
    for (auto accent = m_accents.rbegin(); accent != m_accents.rend(); ++accent) {
        char16_t units[2];
        int32_t length = 0;
        U16_APPEND_UNSAFE(units, length, UChar32(*accent));
        m_reversed.append(units, size_t(length));
    }
    char16_t units[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(units, length, letterItself);
    m_reversed.append(units, size_t(length));
    weights.clear();
    m_collation.appendSecondaryWeights(m_reversed, true, weights);
    if (single)
        m_single.emplace(char32_t(first), weights);
}

bool BackwardAccents::append(KeyText &text, QByteArray &key, qsizetype until)
{
    // A segment that is all there is read back from its end, one letter at
    // a time, as far as the bytes asked for take.
    qsizetype end;
    if (!text.wholeSegment(end))
        return appendEveryLetter(text, key, until);
    const qsizetype from = key.size();
    Letters letters(*this, text);
    while (end > 0) {
        qsizetype start = end;
        do {
            --start;
            if (start > 0 && U16_IS_TRAIL(text.unit(start)) && U16_IS_LEAD(text.unit(start - 1)))
                --start;
        } while (start > 0 && !letters.beginsLetterAt(start));
        // A very long letter is weighed in parts from its start.
        if (size_t(end - start) > longestLetter) {
            key.truncate(from);
            return appendEveryLetter(text, key, until);
        }
        letters.read(start, end, m_letter);
        weigh(m_letter, m_weights);
        end = start;
        // Only the leading letter can weigh nothing.
        if (m_weights.isEmpty())
            continue;
        if (key.size() >= until)
            return false;
        key += m_weights;
        key += letterEnd;
    }
    return true;
}

bool BackwardAccents::appendEveryLetter(KeyText &text, QByteArray &key, qsizetype until)
{
    std::vector<QByteArray> weights;
    Letters letters(*this, text);
    while (nextWeighed(letters, m_letter, m_weights))
        weights.push_back(m_weights);
    for (auto letter = weights.rbegin(); letter != weights.rend(); ++letter) {
        if (key.size() >= until)
            return false;
        key += *letter;
        key += letterEnd;
    }
    return true;
}

// Letters are compared from the last: the texts are read from the start
// twice, first to count their letters, then in step, the longer one's
// extra letters at its start passed over, and the difference nearest the
// end decides. Nothing of a text is kept but the letter at hand.
int BackwardAccents::compare(KeyText &a, KeyText &b, bool *undecided)
{
    std::u16string letterA;
    std::u16string letterB;
    QByteArray weightsA;
    QByteArray weightsB;
    const qsizetype countA = weighedLetters(a, letterA, weightsA);
    const qsizetype countB = weighedLetters(b, letterB, weightsB);

    Letters readerA(*this, a);
    Letters readerB(*this, b);
    for (qsizetype extra = countA - countB; extra > 0; --extra)
        nextWeighed(readerA, letterA, weightsA);
    for (qsizetype extra = countB - countA; extra > 0; --extra)
        nextWeighed(readerB, letterB, weightsB);
    int order = 0;
    while (nextWeighed(readerA, letterA, weightsA) && nextWeighed(readerB, letterB, weightsB)) {
        if (weightsA != weightsB)
            order = weightsA < weightsB ? -1 : 1;
    }
    if (order != 0 || countA == countB)
        return order;
    if (undecided)
        *undecided = true;
    return countA < countB ? -1 : 1;
}

bool BackwardAccents::nextWeighed(Letters &letters, std::u16string &letter, QByteArray &weights)
{
    while (letters.next(letter)) {
        weigh(letter, weights);
        if (!weights.isEmpty())
            return true;
    }
    return false;
}

qsizetype BackwardAccents::weighedLetters(KeyText &text, std::u16string &letter,
                                          QByteArray &weights)
{
    qsizetype count = 0;
    Letters letters(*this, text);
    while (nextWeighed(letters, letter, weights))
        ++count;
    return count;
}

} // namespace collation
