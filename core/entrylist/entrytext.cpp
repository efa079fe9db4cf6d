#include "entrylist/entrytext.h"

#include "collation/textencoding.h"

#include <QStringDecoder>

namespace core {

using collation::EntryEncoding;
using collation::entryEncoding;

namespace {

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes)
        *out++ = collation::windows1252Character(static_cast<unsigned char>(c));
    return text;
}

QString decode(QByteArrayView bytes, EntryEncoding encoding)
{
    switch (encoding) {
    case EntryEncoding::Ascii:
        return QString::fromLatin1(bytes);
    case EntryEncoding::Utf8:
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            // QString::fromUtf8() would drop a leading U+FEFF; here it is
            // part of the entry, since a file's own mark never reaches one.
            QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
            return utf8.decode(bytes);
        }
        return QString::fromUtf8(bytes);
    case EntryEncoding::Windows1252:
        break;
    }
    return fromWindows1252(bytes);
}

} // namespace

QString decodeEntry(QByteArrayView bytes)
{
    return decode(bytes, entryEncoding(bytes));
}

QString decodeEntryStart(QByteArrayView bytes, qsizetype maxCharacters)
{
    const EntryEncoding encoding = entryEncoding(bytes);
    if (encoding != EntryEncoding::Utf8)
        return decode(bytes.first(qMin(bytes.size(), maxCharacters)), encoding);
    // Three bytes of UTF-8 give at least one UTF-16 unit, so this many bytes
    // give enough. A sequence the cut splits decodes to one replacement
    // character after them, which left() leaves out.
    const qsizetype end = qMin(bytes.size(), 3 * maxCharacters + 3);
    return decode(bytes.first(end), encoding).left(maxCharacters);
}

} // namespace core
