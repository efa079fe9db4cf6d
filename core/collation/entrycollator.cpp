#include "collation/entrycollator.h"

#include "entrycodepoints.h"
#include "keybuilder.h"

#include <QRegularExpression>
#include <QtEndian>

#include <array>
#include <cstring>

namespace collation {

namespace {

constexpr qsizetype startSize = 8;

quint64 startOf(QByteArrayView key)
{
    uchar bytes[startSize] = {};
    std::memcpy(bytes, key.data(), size_t(qMin(key.size(), startSize)));
    return qFromBigEndian<quint64>(bytes);
}

// Under C an entry that begins with more ASCII than a start takes begins
// its key with those bytes in lower case, each raised by one (see
// ComposedFolding): ASCII bytes are the same characters in every encoding
// an entry is read in, and compose with nothing but a mark after them, so
// the rest is read for its encoding only when the head is not ASCII.
std::optional<quint64> lowerAsciiStart(QByteArrayView bytes)
{
    if (bytes.size() <= startSize)
        return std::nullopt;
    uchar start[startSize];
    for (qsizetype i = 0; i <= startSize; ++i) {
        const auto c = uchar(bytes[i]);
        if (c >= 0x80)
            return std::nullopt;
        if (i < startSize)
            start[i] = uchar((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) + 1);
    }
    return qFromBigEndian<quint64>(start);
}

// Under C, two entries that part within their ASCII heads are ordered there,
// before either is read for its encoding: ASCII is the same characters in
// every encoding, folds to lower case, and composes with nothing but a mark
// after it, whose composed letter sorts after all of ASCII. Nothing when
// the heads do not decide.
std::optional<int> compareAsciiHeads(QByteArrayView a, QByteArrayView b)
{
    const auto lower = [](uchar c) {
        return c >= 'A' && c <= 'Z' ? uchar(c + ('a' - 'A')) : c;
    };
    // The bytes both begin with decide nothing, as long as they are ASCII.
    const qsizetype same = commonPrefix(a, b);
    uchar bits = 0;
    for (const char byte : a.first(same))
        bits |= uchar(byte);
    if (bits >= 0x80)
        return std::nullopt;
    const qsizetype size = std::min(a.size(), b.size());
    for (qsizetype at = same; at <= size; ++at) {
        const bool aEnded = at == a.size();
        const bool bEnded = at == b.size();
        // A text that ends where the other goes on, with ASCII or a letter
        // or mark beyond it, sorts first.
        if (aEnded || bEnded)
            return aEnded && bEnded ? std::optional<int>(0) : aEnded ? -1 : 1;
        const auto x = uchar(a[at]);
        const auto y = uchar(b[at]);
        if (x >= 0x80 || y >= 0x80)
            return std::nullopt;
        if (lower(x) == lower(y))
            continue;
        // What follows may be a mark that composes the letter.
        const bool aGoesOnInAscii = at + 1 == a.size() || uchar(a[at + 1]) < 0x80;
        const bool bGoesOnInAscii = at + 1 == b.size() || uchar(b[at + 1]) < 0x80;
        if (!aGoesOnInAscii || !bGoesOnInAscii)
            return std::nullopt;
        return lower(x) < lower(y) ? -1 : 1;
    }
    return std::nullopt;
}

} // namespace

struct EntryCollator::Private
{
    explicit Private(const QLocale &locale)
        : keys(locale)
        , collates(locale.language() != QLocale::C)
    {
        for (int byte = 0x80; byte < 0x100; ++byte)
            windows1252High[size_t(byte - 0x80)] = windows1252Character(uchar(byte));
        // A start and what building it may append before it is cut.
        key.reserve(128);
    }

    EntryCodePoints codePoints(QByteArrayView bytes, std::optional<EntryEncoding> &encoding)
    {
        if (!encoding)
            encoding = entryEncoding(bytes);
        return EntryCodePoints(bytes, *encoding, windows1252High);
    }

    KeyBuilder keys;
    const bool collates;
    std::array<char32_t, 0x80> windows1252High;
    QByteArray key;
};

EntryCollator::EntryCollator(const QLocale &locale)
    : d(std::make_unique<Private>(locale))
{ }

EntryCollator::~EntryCollator() = default;

EntryCollator::Start EntryCollator::start(QByteArrayView bytes,
                                          std::optional<EntryEncoding> &encoding)
{
    if (!d->collates) {
        if (const std::optional<quint64> ascii = lowerAsciiStart(bytes))
            return {*ascii, false};
    }
    d->key.truncate(0);
    const bool whole = d->keys.appendStart(d->codePoints(bytes, encoding), d->key, startSize);
    return {startOf(d->key), whole};
}

int EntryCollator::compareTied(QByteArrayView a, std::optional<EntryEncoding> &aEncoding,
                               QByteArrayView b, std::optional<EntryEncoding> &bEncoding)
{
    if (!d->collates) {
        if (const std::optional<int> order = compareAsciiHeads(a, b))
            return *order;
    }
    return d->keys.compare(d->codePoints(a, aEncoding), d->codePoints(b, bEncoding));
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
    // A modifier may name the script: "sr_RS@latin" is Serbian in Latin.
    const QString modifier = name.section(u'@', 1);
    const qsizetype end = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (end >= 0)
        name.truncate(end);
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return QLocale::c();
    const QLocale locale(name);
    const QLocale::Script script = modifier == u"latin" ? QLocale::LatinScript
            : modifier == u"cyrillic"                   ? QLocale::CyrillicScript
            : modifier == u"devanagari"                 ? QLocale::DevanagariScript
                                                        : QLocale::AnyScript;
    if (script == QLocale::AnyScript)
        return locale;
    return QLocale(locale.language(), script, locale.territory());
}

} // namespace collation
