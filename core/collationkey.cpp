#include "collationkey.h"

#include "entrytext.h"

#include <QRegularExpression>
#include <QStringView>
#include <QVarLengthArray>

#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <cstring>
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

// What one code point of a text adds to each part of its key. Case folding
// works code point by code point (ICU's default folding looks at no
// context), so a text's key is its code points' pieces strung together.
// The bytes live in Private::bytes: primary weights, then secondary
// weights, then the folded code points as UTF-8.
struct Piece
{
    static constexpr quint32 unknown = ~quint32(0);

    quint32 at = unknown;
    quint16 primary = 0;
    quint16 secondary = 0;
    quint16 folded = 0;
};

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

} // namespace

struct CollationKeyMaker::Private
{
    explicit Private(UCollator *c)
        : collator(c)
    { }
    ~Private() { ucol_close(collator); }
    Private(const Private &) = delete;
    Private &operator=(const Private &) = delete;

    void appendWeights(char32_t folded, QByteArray &primary, QByteArray &secondary) const;
    Piece computePiece(char32_t codePoint) const;
    const Piece &pieceOf(char32_t codePoint) const;
    void appendKey(const char32_t *codePoints, qsizetype count, QByteArray &to) const;

    // Null under C and POSIX: the key is then the folded text alone.
    UCollator *const collator;
    // Computed on first use. Code points below U+0800 (Latin, Greek,
    // Cyrillic, Hebrew, Arabic...) are looked up without hashing.
    mutable std::array<Piece, 0x800> small;
    mutable std::unordered_map<char32_t, Piece> large;
    mutable QByteArray bytes;
};

// The locale's weights for one folded code point, split out of its sort key.
void CollationKeyMaker::Private::appendWeights(char32_t folded, QByteArray &primary,
                                               QByteArray &secondary) const
{
    UChar units[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(units, length, folded);

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
    if (separator < 0) {
        primary += sortKey;
        return;
    }
    primary += QByteArrayView(sortKey).first(separator);
    secondary += QByteArrayView(sortKey).sliced(separator + 1);
}

Piece CollationKeyMaker::Private::computePiece(char32_t codePoint) const
{
    UChar units[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(units, length, codePoint);

    // ICU's full default case folding: "ß" folds to "ss". One UTF-16 unit
    // folds to at most three.
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    int32_t foldedLength = u_strFoldCase(folded, 8, units, length, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        std::copy(units, units + length, folded);
        foldedLength = length;
    }

    QByteArray primary;
    QByteArray secondary;
    if (collator) {
        for (int32_t i = 0; i < foldedLength;) {
            UChar32 c;
            U16_NEXT(folded, i, foldedLength, c);
            appendWeights(char32_t(c), primary, secondary);
        }
    }
    const QByteArray utf8 =
            QStringView(reinterpret_cast<const char16_t *>(folded), foldedLength).toUtf8();

    // copyPiece() may read 7 bytes past the last piece: they stay at the end.
    bytes.chop(7);
    Piece piece;
    piece.at = quint32(bytes.size());
    piece.primary = quint16(primary.size());
    piece.secondary = quint16(secondary.size());
    piece.folded = quint16(utf8.size());
    bytes += primary + secondary + utf8 + QByteArray(7, '\0');
    return piece;
}

const Piece &CollationKeyMaker::Private::pieceOf(char32_t codePoint) const
{
    if (codePoint < small.size()) {
        Piece &piece = small[codePoint];
        if (piece.at == Piece::unknown)
            piece = computePiece(codePoint);
        return piece;
    }
    auto found = large.find(codePoint);
    if (found == large.end())
        found = large.emplace(codePoint, computePiece(codePoint)).first;
    return found->second;
}

// Copies in 8-byte strides: pieces are a few bytes long, and a call to
// memcpy for each would cost more than the copy itself. Reads and writes up
// to 7 bytes past the end; see key() and computePiece() for the room kept.
inline char *copyPiece(char *to, const char *from, qsizetype length)
{
    std::memcpy(to, from, 8);
    for (qsizetype done = 8; done < length; done += 8)
        std::memcpy(to + done, from + done, 8);
    return to + length;
}

// The key is laid out in one buffer of the right size, part after part: a
// file's worth of keys is built, so no byte should move twice.
void CollationKeyMaker::Private::appendKey(const char32_t *codePoints, qsizetype count,
                                           QByteArray &to) const
{
    // Looked up first (which may add to `bytes`), so the sizes are known.
    QVarLengthArray<const Piece *, 256> pieces(count);
    qsizetype primarySize = 0;
    qsizetype secondarySize = 0;
    qsizetype foldedSize = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const Piece *piece = &pieceOf(codePoints[i]);
        pieces[i] = piece;
        primarySize += piece->primary;
        secondarySize += piece->secondary;
        foldedSize += piece->folded;
    }

    // Under C the folded text alone: its UTF-8 bytes compare as its code
    // points do.
    const qsizetype size = collator ? primarySize + 1 + secondarySize + 1 + foldedSize : foldedSize;
    // With the room copyPiece() may write past the end.
    const qsizetype start = to.size();
    to.resize(start + size + 8);
    char *out = to.data() + start;
    const char *all = bytes.constData();
    // Part by part, so that what a copy writes past its piece is
    // overwritten by the next piece, separator or part.
    if (collator) {
        for (const Piece *piece : pieces)
            out = copyPiece(out, all + piece->at, piece->primary);
        *out++ = levelSeparator;
        for (const Piece *piece : pieces)
            out = copyPiece(out, all + piece->at + piece->primary, piece->secondary);
        *out++ = levelSeparator;
    }
    for (const Piece *piece : pieces)
        out = copyPiece(out, all + piece->at + piece->primary + piece->secondary, piece->folded);
    to.truncate(start + size);
}

CollationKeyMaker::CollationKeyMaker(const QLocale &locale)
    : d(std::make_unique<Private>(locale.language() == QLocale::C ? nullptr : openCollator(locale)))
{ }

CollationKeyMaker::~CollationKeyMaker() = default;

QByteArray CollationKeyMaker::key(const QString &text) const
{
    QVarLengthArray<char32_t, 256> codePoints(text.size());
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    qsizetype count = 0;
    for (qsizetype i = 0; i < size;) {
        UChar32 codePoint;
        U16_NEXT(units, i, size, codePoint);
        codePoints[count++] = char32_t(codePoint);
    }
    QByteArray key;
    d->appendKey(codePoints.constData(), count, key);
    return key;
}

QByteArray CollationKeyMaker::entryKey(QByteArrayView bytes) const
{
    QByteArray key;
    appendEntryKey(bytes, key);
    return key;
}

void CollationKeyMaker::appendEntryKey(QByteArrayView bytes, QByteArray &keys) const
{
    // Under C an ASCII entry's key is the entry in lower case: ASCII folds
    // A-Z to a-z and nothing else, and is its own UTF-8.
    if (!d->collator && isAscii(bytes)) {
        const qsizetype start = keys.size();
        keys.resize(start + bytes.size());
        std::transform(bytes.begin(), bytes.end(), keys.data() + start,
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; });
        return;
    }
    QVarLengthArray<char32_t, 256> codePoints(bytes.size());
    const qsizetype count = decodeEntryCodePoints(bytes, codePoints.data());
    d->appendKey(codePoints.constData(), count, keys);
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
