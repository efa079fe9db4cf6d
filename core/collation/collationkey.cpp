#include "collation/collationkey.h"

#include "collation/textencoding.h"
#include "entrycodepoints.h"
#include "keybuilder.h"

#include <QRegularExpression>

#include <array>

namespace collation {

namespace {

// Under C an ASCII text's key is the text in lower case: ASCII folds A-Z to
// a-z and nothing else, and is its own UTF-8. Appends it and returns true,
// or appends nothing and returns false when `bytes` are not all ASCII.
bool appendLowerAscii(QByteArrayView bytes, QByteArray &keys)
{
    const qsizetype start = keys.size();
    keys.resize(start + bytes.size());
    char *out = keys.data() + start;
    for (const char c : bytes) {
        if (uchar(c) >= 0x80) {
            keys.truncate(start);
            return false;
        }
        *out++ = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
    return true;
}

} // namespace

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

bool CollationKeyMaker::appendEntryKeyStart(QByteArrayView bytes, qsizetype size, QByteArray &keys,
                                            std::optional<EntryEncoding> &encoding) const
{
    // Under C the head of an entry that is ASCII is its own key in lower
    // case, whatever the rest of the entry is: ASCII bytes are the same
    // characters in every encoding an entry is read in. So the rest is read
    // for its encoding only when the head is not ASCII.
    if (!d->keys.collates()) {
        const QByteArrayView head = bytes.first(qMin(bytes.size(), size));
        if (appendLowerAscii(head, keys))
            return head.size() == bytes.size();
    }
    if (!encoding)
        encoding = entryEncoding(bytes);
    return d->keys.appendStart(EntryCodePoints(bytes, *encoding, d->windows1252High), keys, size);
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
