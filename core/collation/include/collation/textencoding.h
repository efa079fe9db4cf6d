#pragma once

#include <QByteArrayView>

namespace collation {

// An entry keeps the exact bytes of its line, and is read as UTF-8 where
// its bytes are strictly valid UTF-8, else as Windows-1252: ASCII and
// strict UTF-8 as UTF-8, all else as Windows-1252. Ordering and display
// read an entry the same way.
enum class EntryEncoding : unsigned char { Ascii, Utf8, Windows1252 };
EntryEncoding entryEncoding(QByteArrayView bytes);

// The character a byte stands for in Windows-1252.
char16_t windows1252Character(unsigned char byte);

} // namespace collation
