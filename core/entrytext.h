#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// An entry keeps the exact bytes of its line. For ordering and display the
// bytes are read as UTF-8 where they are strictly valid UTF-8, else as
// Windows-1252. Decoding never changes the stored bytes.
QString decodeEntry(const QByteArray &bytes);

// How decodeEntry() reads `bytes`: ASCII and strict UTF-8 as UTF-8, all
// else as Windows-1252.
enum class EntryEncoding { Ascii, Utf8, Windows1252 };
EntryEncoding entryEncoding(QByteArrayView bytes);

// The character a byte stands for in Windows-1252.
char16_t windows1252Character(unsigned char byte);

// The first `maxCharacters` UTF-16 units of decodeEntry(bytes), decoding no
// more of a long entry than that.
QString decodeEntryStart(QByteArrayView bytes, qsizetype maxCharacters);
