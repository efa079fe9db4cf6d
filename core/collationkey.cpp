#include "collationkey.h"

#include <QRegularExpression>
#include <QStringView>
#include <QVarLengthArray>

#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <unordered_map>

// A key has three parts, each compared only when the ones before are equal:
//   the primary weights of all code points, 0x01,
//   their secondary weights, 0x01,
//   the case-folded text as UTF-8.
// ICU never uses bytes 0x00 and 0x01 inside a weight, so a part that ends
// early compares lower than any part that goes on: a text sorts before every
// longer text it begins, even when the rest is ignorable (NUL, soft hyphen,
// zero-width space), and the empty text sorts first. The last part tells
// apart texts whose weights are all equal, so equal keys mean equal folded
// texts.
//
// The weights are taken one code point at a time, never across code points:
// a contraction ("aa" as å in Danish) could otherwise make a text's key stop
// being a prefix of a longer text's key.

namespace {

constexpr char levelSeparator = '\x01';

struct Weights
{
    QByteArray primary;
    QByteArray secondary;
};

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// ICU's full default case folding: "Straße" and "STRASSE" fold alike.
QString foldCase(const QString &text)
{
    if (isAscii(text))
        return text.toLower();
    // One UTF-16 unit folds to at most three.
    QString folded(text.size() * 3, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
            u_strFoldCase(reinterpret_cast<UChar *>(folded.data()), int32_t(folded.size()),
                          reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
                          U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return text.toCaseFolded();
    folded.truncate(length);
    return folded;
}

UCollator *openCollator(const QLocale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(locale.name().toUtf8().constData(), &status);
    if (U_FAILURE(status))
        return nullptr;
    // Case is left to the folding; the secondary level carries the accents.
    ucol_setStrength(collator, UCOL_SECONDARY);
    ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    // Some locales (Thai) make spaces and punctuation ignorable, and then
    // " zebra" would sort by "zebra"; a space must sort before letters.
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    // Backward accents (Canadian French) and numeric runs look across code
    // points; taken one code point at a time they would mean nothing.
    ucol_setAttribute(collator, UCOL_FRENCH_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    return collator;
}

} // namespace

struct CollationKeyMaker::Private
{
    explicit Private(UCollator *c)
        : collator(c)
    {
        for (char32_t cp = 0; cp < ascii.size(); ++cp)
            ascii[cp] = computeWeights(cp);
    }
    ~Private() { ucol_close(collator); }
    Private(const Private &) = delete;
    Private &operator=(const Private &) = delete;

    Weights computeWeights(char32_t codePoint) const;
    const Weights &weightsOf(char32_t codePoint) const;
    QByteArray key(const QString &folded) const;

    UCollator *const collator;
    // Lists are mostly ASCII: its weights are looked up without hashing.
    std::array<Weights, 128> ascii;
    mutable std::unordered_map<char32_t, Weights> cache;
};

// The locale's weights for one code point, split out of its sort key.
Weights CollationKeyMaker::Private::computeWeights(char32_t codePoint) const
{
    UChar units[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(units, length, codePoint);

    QByteArray sortKey(64, Qt::Uninitialized);
    int32_t size =
            ucol_getSortKey(collator, units, length, reinterpret_cast<uint8_t *>(sortKey.data()),
                            int32_t(sortKey.size()));
    if (size > sortKey.size()) {
        sortKey.resize(size);
        size = ucol_getSortKey(collator, units, length, reinterpret_cast<uint8_t *>(sortKey.data()),
                               int32_t(sortKey.size()));
    }
    sortKey.truncate(qMax(size - 1, 0)); // the terminating 0x00

    const qsizetype separator = sortKey.indexOf(levelSeparator);
    if (separator < 0)
        return {sortKey, {}};
    return {sortKey.left(separator), sortKey.mid(separator + 1)};
}

const Weights &CollationKeyMaker::Private::weightsOf(char32_t codePoint) const
{
    if (codePoint < ascii.size())
        return ascii[codePoint];
    auto found = cache.find(codePoint);
    if (found == cache.end())
        found = cache.emplace(codePoint, computeWeights(codePoint)).first;
    return found->second;
}

QByteArray CollationKeyMaker::Private::key(const QString &folded) const
{
    // Gathered on the stack: a key is built for every entry of a file.
    QVarLengthArray<char, 256> primary;
    QVarLengthArray<char, 256> secondary;
    const char16_t *units = reinterpret_cast<const char16_t *>(folded.utf16());
    const qsizetype size = folded.size();
    for (qsizetype i = 0; i < size;) {
        UChar32 codePoint;
        U16_NEXT(units, i, size, codePoint);
        const Weights &weights = weightsOf(char32_t(codePoint));
        primary.append(weights.primary.constData(), weights.primary.size());
        secondary.append(weights.secondary.constData(), weights.secondary.size());
    }

    const QByteArray tieBreak = folded.toUtf8();
    QByteArray key;
    key.reserve(primary.size() + secondary.size() + tieBreak.size() + 2);
    key.append(primary.constData(), primary.size());
    key.append(levelSeparator);
    key.append(secondary.constData(), secondary.size());
    key.append(levelSeparator);
    key.append(tieBreak);
    return key;
}

CollationKeyMaker::CollationKeyMaker(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return;
    if (UCollator *collator = openCollator(locale))
        d = std::make_unique<Private>(collator);
}

CollationKeyMaker::~CollationKeyMaker() = default;

QByteArray CollationKeyMaker::key(const QString &text) const
{
    const QString folded = foldCase(text);
    // Under C the folded code points alone give the order: their UTF-8 bytes
    // compare as the code points do.
    if (!d)
        return folded.toUtf8();
    return d->key(folded);
}

QLocale collationLocale()
{
    QString name;
    for (const char *variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            break;
    }
    // "de_DE.UTF-8@euro" names the locale de_DE; QLocale knows no codesets.
    const qsizetype end = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (end >= 0)
        name.truncate(end);
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return QLocale::c();
    return QLocale(name);
}
