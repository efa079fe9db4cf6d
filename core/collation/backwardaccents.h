#pragma once

#include <QByteArray>

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace collation {

class KeyText;
class LocaleCollation;

// Where a locale compares accents from the end of a text (Canadian French:
// cote, côte, coté, côté), texts whose letters weigh alike are ordered by
// their accents, letter by letter from the last. A letter here is a code
// point with a primary weight and the code points without one that follow
// it, a text's leading ones making a letter of their own.
//
// In a key, each letter, from the last, gives its own weights, read from
// the end as the locale reads them (œ, ł), then those of its accents in the
// order written, those of a composed letter's decomposition first, then
// 0x02, below every weight: ICU's weights, read from the end, of the
// letter's accents in reverse and then the letter itself. So an accent
// added to a text adds to its last letter's weights, and the text sorts
// after the text it extends; and composed and decomposed text weigh alike.
// A letter with no weights at all (a soft hyphen at the start) gives
// nothing.
class BackwardAccents
{
public:
    explicit BackwardAccents(LocaleCollation &collation);
    ~BackwardAccents();

    // Appends the accents' part of the key of the current segment of
    // `text`, up to `until` bytes of `key` at least; returns whether it is
    // all there.
    bool append(KeyText &text, QByteArray &key, qsizetype until);
    // Orders the current segments of two texts by their accents. Where the
    // two differ only in letters before those compared, and have not as
    // many, says so instead: `undecided`.
    int compare(KeyText &a, KeyText &b, bool *undecided = nullptr);

private:
    class Letters;
    // Whether a code point begins a letter.
    bool beginsLetter(char32_t codePoint);
    // The weights of a letter with its accents.
    void weigh(const std::u16string &letter, QByteArray &weights);
    bool nextWeighed(Letters &letters, std::u16string &letter, QByteArray &weights);
    bool appendEveryLetter(KeyText &text, QByteArray &key, qsizetype until);
    qsizetype weighedLetters(KeyText &text, std::u16string &letter, QByteArray &weights);

    LocaleCollation &m_collation;
    // Known for each code point met: 1 begins a letter, 2 does not.
    std::array<std::unique_ptr<std::array<quint8, 0x100>>, 0x110000 / 0x100> m_begins;
    // The weights of letters that are one code point.
    std::unordered_map<char32_t, QByteArray> m_single;
    std::u32string m_accents;
    std::u16string m_reversed;
    std::u16string m_letter;
    QByteArray m_weights;
};

} // namespace collation
