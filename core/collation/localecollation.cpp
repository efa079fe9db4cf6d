#include "localecollation.h"

#include "icu.h"

#include "pieceweights.h"
#include "sortkeywriter.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <initializer_list>
#include <new>

namespace collation {

namespace {

bool isAscii(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
}

} // namespace

std::unique_ptr<LocaleCollation> LocaleCollation::open(const QLocale &locale)
{
    // With the script, which QLocale::name() leaves out: Serbian in Latin
    // letters is not sorted as Serbian in Cyrillic.
    const QString name = QLocale::languageToCode(locale.language()) + u'_'
            + QLocale::scriptToCode(locale.script()) + u'_'
            + QLocale::territoryToCode(locale.territory());
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(name.toUtf8().constData(), &status);
    throwIfOutOfMemory(status);
    if (U_FAILURE(status))
        return nullptr;
    std::unique_ptr<LocaleCollation> collation(new LocaleCollation(collator));
    // Case is left to the folding; the secondary level carries the accents.
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    // Some locales (Thai) make spaces and punctuation ignorable, and then
    // " zebra" would sort by "zebra"; a space must sort before letters.
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    // Accents are compared from the end of a text where the locale does so.
    collation->m_backwardSecondaries =
            ucol_getAttribute(collator, UCOL_FRENCH_COLLATION, &status) == UCOL_ON;
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    // Text in NFC or NFD orders the same without normalization, since the
    // collator's data covers both. Normalizing would move a combining mark
    // that follows an entry in front of the entry's own last marks, and the
    // longer entry could then sort first.
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_OFF, &status);
    throwIfOutOfMemory(status);
    if (U_FAILURE(status))
        return nullptr;

    // The primary weights of a space, raised by one in the last byte.
    QByteArray space;
    collation->appendSortKey(u" ", space);
    space.truncate(qMax(space.indexOf('\x01'), 0));
    while (!space.isEmpty() && uchar(space.back()) == 0xFF)
        space.chop(1);
    if (!space.isEmpty())
        space.back() = char(uchar(space.back()) + 1);
    collation->m_spaceLimit = space;
    return collation;
}

LocaleCollation::LocaleCollation(UCollator *collator)
    : m_collator(collator)
{ }

LocaleCollation::~LocaleCollation()
{
    ucol_close(m_collator);
}

const Contractions &LocaleCollation::tailored()
{
    if (!m_tailored) {
        auto contractions = std::make_unique<Contractions>();
        contractions->add(tailoredStrings(m_collator), false, m_collator);
        m_tailored = std::move(contractions);
    }
    return *m_tailored;
}

const Contractions &LocaleCollation::all()
{
    if (!m_all) {
        auto contractions = std::make_unique<Contractions>(tailored());
        contractions->add(rootStrings(), true, m_collator);
        m_all = std::move(contractions);
    }
    return *m_all;
}

// The root collation has no string made of ASCII alone and none with two
// ASCII code points in a row, so ASCII text meets only the tailoring's.
void LocaleCollation::describe(Piece &piece, const Piece *first, const Piece *second)
{
    const std::u16string_view folded(piece.utf16, piece.utf16Size);
    bool inner = false; // a contraction inside the folding itself
    bool starts = false;
    for (int32_t at = 0, size = int32_t(folded.size()); at < size;) {
        const bool firstCodePoint = at == 0;
        UChar32 c;
        U16_NEXT(folded.data(), at, size, c);
        const Contractions &contractions = knowing(char32_t(c));
        const bool continues = contractions.continuing.count(char32_t(c));
        const bool joins = contractions.withAscii.count(char32_t(c));
        inner = inner || (continues && starts) || joins;
        if (joins)
            piece.flags |= Piece::Joins;
        if (firstCodePoint && continues)
            piece.flags |= Piece::Continues;
        if (firstCodePoint && !continues && !joins && u_getCombiningClass(c) == 0)
            piece.flags |= Piece::Boundary;
        starts = contractions.starting.count(char32_t(c));
        if (at == size && starts)
            piece.flags |= Piece::Starts;
        if (at == size && contractions.lowestEnds.count(char32_t(c)))
            piece.flags |= Piece::Begins;
    }
    if (!inner && weigh(piece, folded, first, second))
        piece.flags |= Piece::Simple;
}

bool LocaleCollation::weigh(Piece &piece, std::u16string_view text, const Piece *first,
                            const Piece *second) const
{
    QByteArray sortKey;
    appendSortKey(text, sortKey);
    QByteArray twice;
    appendSortKey(std::u16string(text) + std::u16string(text), twice);
    return weighPiece(piece, sortKey, twice, first, second);
}

Piece LocaleCollation::pairOf(const Piece &first, const Piece &second)
{
    Piece pair;
    pair.flags = Piece::Known;
    const auto single = [](const Piece &piece) {
        return piece.utf16Size == 1 || (piece.utf16Size == 2 && U16_IS_LEAD(piece.utf16[0]));
    };
    if (!single(first) || !single(second))
        return pair;
    std::u16string text(first.utf16, first.utf16Size);
    text.append(second.utf16, second.utf16Size);
    // Longer contractions that begin with the pair are left to ICU.
    if ((isAscii(text) ? tailored() : all()).beginnings.count(text))
        return pair;
    if (!joinsLower(text.substr(0, first.utf16Size), text.substr(first.utf16Size))
        && weigh(pair, text, &first, &second))
        pair.flags |= Piece::Simple;
    return pair;
}

void LocaleCollation::appendSortKey(std::u16string_view text, QByteArray &to) const
{
    const qsizetype start = to.size();
    qsizetype capacity = 2 * qsizetype(text.size()) + 16;
    for (;;) {
        to.resize(start + capacity);
        const int32_t size = ucol_getSortKey(
                m_collator, reinterpret_cast<const UChar *>(text.data()), int32_t(text.size()),
                reinterpret_cast<uint8_t *>(to.data() + start), int32_t(capacity));
        if (size == 0)
            throw std::bad_alloc(); // ICU could not build its buffers
        if (size <= capacity) {
            to.truncate(start + size - 1); // the terminating zero byte
            return;
        }
        capacity = size;
    }
}

} // namespace collation
