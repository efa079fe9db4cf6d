#include "collationkey.h"

#include "keybuilder.h"
#include "keysources.h"
#include "textencoding.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace collation {

struct CollationKeyMaker::Private
{
    explicit Private(const QLocale &locale)
        : keys(locale)
    {
        for (int byte = 0x80; byte < 0x100; ++byte)
            windows1252High[size_t(byte - 0x80)] = windows1252Character(uchar(byte));
    }

    KeyBuilder keys;
    std::array<char32_t, 0x80> windows1252High;
};

CollationKeyMaker::CollationKeyMaker(const QLocale &locale)
    : d(std::make_unique<Private>(locale))
{ }

CollationKeyMaker::~CollationKeyMaker() = default;

void CollationKeyMaker::appendEntryKey(QByteArrayView bytes, QByteArray &keys) const
{
    switch (entryEncoding(bytes)) {
    case EntryEncoding::Ascii:
        if (!d->keys.collates()) {
            // Under C an ASCII entry's key is the entry in lower case: ASCII
            // folds A-Z to a-z and nothing else, and is its own UTF-8.
            const qsizetype start = keys.size();
            keys.resize(start + bytes.size());
            std::transform(bytes.begin(), bytes.end(), keys.data() + start,
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; });
            return;
        }
        d->keys.append(AsciiBytes{bytes}, keys);
        return;
    case EntryEncoding::Utf8:
        d->keys.append(Utf8Bytes{bytes}, keys);
        return;
    case EntryEncoding::Windows1252:
        d->keys.append(Windows1252Bytes{bytes, d->windows1252High}, keys);
        return;
    }
}

bool CollationKeyMaker::appendEntryKeyStart(QByteArrayView bytes, qsizetype size,
                                            QByteArray &keys) const
{
    switch (entryEncoding(bytes)) {
    case EntryEncoding::Ascii:
        if (!d->keys.collates()) {
            const bool whole = bytes.size() <= size;
            appendEntryKey(whole ? bytes : bytes.first(size), keys);
            return whole;
        }
        return d->keys.appendStart(AsciiBytes{bytes}, keys, size);
    case EntryEncoding::Utf8:
        return d->keys.appendStart(Utf8Bytes{bytes}, keys, size);
    case EntryEncoding::Windows1252:
        return d->keys.appendStart(Windows1252Bytes{bytes, d->windows1252High}, keys, size);
    }
    return false;
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
