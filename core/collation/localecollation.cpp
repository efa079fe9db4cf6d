#include "localecollation.h"

#include "icu.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace collation {

namespace {

char32_t lastCodePoint(std::u16string_view text)
{
    auto at = int32_t(text.size());
    UChar32 c;
    U16_PREV(text.data(), 0, at, c);
    return char32_t(c);
}

// The last `count` code points of `text`.
std::u16string_view lastCodePoints(std::u16string_view text, int count)
{
    auto at = int32_t(text.size());
    for (; count > 0 && at > 0; --count)
        U16_BACK_1(text.data(), 0, at);
    return text.substr(size_t(at));
}

// The NFC form of `text`: how a person sees it, with a letter and the marks
// that compose it written as one.
std::u16string composed(std::u16string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2 *nfc = unorm2_getNFCInstance(&status);
    std::u16string result(2 * text.size() + 4, u'\0');
    const int32_t size = unorm2_normalize(
            nfc, reinterpret_cast<const UChar *>(text.data()), int32_t(text.size()),
            reinterpret_cast<UChar *>(result.data()), int32_t(result.size()), &status);
    if (U_FAILURE(status))
        return std::u16string(text);
    result.resize(size_t(size));
    return result;
}

// Opens the locale's collator with what every use shares: case is left to
// the folding; some locales (Thai) make spaces and punctuation ignorable,
// and then " zebra" would sort by "zebra", while a space must sort before
// letters; text in NFC or NFD orders the same without normalization, since
// the collator's data covers both, and normalizing would move a combining
// mark that follows an entry in front of the entry's own last marks, so
// that the longer entry could sort first.
UCollator *openCollator(const char *name, UCollationStrength strength, UErrorCode &status)
{
    UCollator *collator = ucol_open(name, &status);
    if (U_FAILURE(status))
        return collator;
    ucol_setStrength(collator, strength);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_OFF, &status);
    return collator;
}

} // namespace

std::unique_ptr<LocaleCollation> LocaleCollation::open(const QLocale &locale)
{
    // With the script, which QLocale::name() leaves out: Serbian in Latin
    // letters is not sorted as Serbian in Cyrillic.
    const QByteArray name = (QLocale::languageToCode(locale.language()) + u'_'
                             + QLocale::scriptToCode(locale.script()) + u'_'
                             + QLocale::territoryToCode(locale.territory()))
                                    .toUtf8();
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = openCollator(name.constData(), UCOL_SECONDARY, status);
    throwIfOutOfMemory(status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    std::unique_ptr<LocaleCollation> collation(new LocaleCollation(collator));
    // Where the locale compares accents from the end of a text, ICU's own
    // way would let an accent added to a text sort it before the text it
    // extends: here ICU weighs the letters alone, and the accents are
    // weighed letter by letter from the end.
    const bool backward = ucol_getAttribute(collator, UCOL_FRENCH_COLLATION, &status) == UCOL_ON;
    ucol_setAttribute(collator, UCOL_FRENCH_COLLATION, UCOL_OFF, &status);
    if (backward && U_SUCCESS(status)) {
        collation->m_primary = openCollator(name.constData(), UCOL_PRIMARY, status);
        collation->m_backward = openCollator(name.constData(), UCOL_SECONDARY, status);
    }
    throwIfOutOfMemory(status);
    if (U_FAILURE(status))
        return nullptr;

    // The primary weights of a space, raised by one in the last byte.
    QByteArray space;
    appendSortKey(collator, u" ", space);
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
    if (m_primary)
        ucol_close(m_primary);
    if (m_backward)
        ucol_close(m_backward);
}

const Contractions &LocaleCollation::tailored()
{
    if (!m_tailored) {
        auto contractions = std::make_unique<Contractions>();
        contractions->add(tailoredStrings(m_collator), m_collator);
        m_tailored = std::move(contractions);
    }
    return *m_tailored;
}

const Contractions &LocaleCollation::all()
{
    if (!m_all) {
        auto contractions = std::make_unique<Contractions>(tailored());
        contractions->add(rootStrings(), m_collator);
        m_all = std::move(contractions);
    }
    return *m_all;
}

void LocaleCollation::appendSortKey(const UCollator *collator, std::u16string_view text,
                                    QByteArray &to)
{
    const qsizetype start = to.size();
    qsizetype capacity = 2 * qsizetype(text.size()) + 16;
    for (;;) {
        to.resize(start + capacity);
        const int32_t size = ucol_getSortKey(
                collator, reinterpret_cast<const UChar *>(text.data()), int32_t(text.size()),
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

bool LocaleCollation::appendSortKeyStart(UCharIterator &iterator, qsizetype count,
                                         QByteArray &to) const
{
    const auto wanted = int32_t(qMin(count, qsizetype(std::numeric_limits<int32_t>::max())));
    const qsizetype start = to.size();
    to.resize(start + wanted);
    // ICU reads the text from its start on every call, so a fresh state
    // asks for the key's first bytes.
    uint32_t state[2] = {0, 0};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t size =
            ucol_nextSortKeyPart(ordering(), &iterator, state,
                                 reinterpret_cast<uint8_t *>(to.data() + start), wanted, &status);
    if (U_FAILURE(status))
        throw std::bad_alloc(); // ICU could not build its buffers
    to.truncate(start + size);
    return size < wanted;
}

int LocaleCollation::compare(UCharIterator &a, UCharIterator &b) const
{
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult order = ucol_strcollIter(ordering(), &a, &b, &status);
    throwIfOutOfMemory(status);
    return order;
}

bool LocaleCollation::hasPrimaryWeight(std::u16string_view text) const
{
    QByteArray key;
    appendSortKey(m_collator, text, key);
    return !key.isEmpty() && key.front() != '\x01';
}

void LocaleCollation::appendSecondaryWeights(std::u16string_view text, bool asTheLocaleReads,
                                             QByteArray &to) const
{
    QByteArray key;
    appendSortKey(asTheLocaleReads && m_backward ? m_backward : m_collator, text, key);
    const qsizetype separator = key.indexOf('\x01');
    if (separator >= 0)
        to += QByteArrayView(key).sliced(separator + 1);
}

bool LocaleCollation::joinsLower(std::u16string_view text, std::u16string_view mark,
                                 std::u16string_view following) const
{
    if (mark.empty() || lastCodePoints(mark, 1).size() != mark.size()
        || !(U_GET_GC_MASK(UChar32(lastCodePoint(mark))) & U_GC_M_MASK))
        return false;
    // A contraction's beginning and the marks it reaches over are short.
    const std::u16string tail(lastCodePoints(text, 12));
    const std::u16string joined = tail + std::u16string(mark);
    if (collation::compare(m_collator, joined, tail) >= 0)
        return false;
    // Where the mark begins a contraction with the letter that follows
    // (Tamil க், then ஷ, is the letter க்ஷ), that letter is what it joins.
    if (!following.empty()
        && collation::compare(m_collator, joined + std::u16string(following), tail) >= 0)
        return false;
    const std::u16string seen = composed(tail);
    return composed(joined).compare(0, seen.size(), seen) == 0;
}

std::u16string LocaleCollation::lowestContinuation(std::u16string_view text)
{
    // The text may end in the beginning of a contraction, perhaps with
    // combining marks after it that the contraction can skip.
    std::u16string_view stem = text;
    std::vector<std::u16string> candidates;
    for (int marks = 0; marks <= 8 && !stem.empty(); ++marks) {
        const char32_t last = lastCodePoint(stem);
        const Contractions &contractions = knowing(last);
        for (int length = 1;
             contractions.lowestEnds.count(last) && length <= contractions.longestBeginning;
             ++length) {
            const std::u16string_view beginning = lastCodePoints(stem, length);
            const auto found = contractions.lowest.find(std::u16string(beginning));
            if (found != contractions.lowest.end())
                candidates.push_back(found->second);
            if (beginning.size() == stem.size())
                break;
        }
        if (!isCombiningMark(UChar32(last)))
            break;
        stem = stem.substr(0, stem.size() - lastCodePoints(stem, 1).size());
    }
    if (candidates.empty())
        return {};

    // ICU compares texts that differ only at their ends the same way from
    // any code point whose weights depend on nothing before it: the end is
    // compared from one, so that how much of a long text comes with it has
    // no say.
    auto from = int32_t(text.size());
    for (int count = 0; from > 0; ++count) {
        UChar32 c;
        U16_PREV(text.data(), 0, from, c);
        if (count >= 16 && !isCombiningMark(c) && !continuesContraction(char32_t(c)))
            break;
    }
    std::u16string lowest;
    const std::u16string whole(text.substr(size_t(from)));
    for (const std::u16string &candidate : candidates) {
        if (collation::compare(m_collator, whole + candidate, whole) < 0
            && (lowest.empty()
                || collation::compare(m_collator, whole + candidate, whole + lowest) < 0))
            lowest = candidate;
    }
    return lowest;
}

} // namespace collation
