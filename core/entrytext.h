#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// An entry keeps the exact bytes of its line. For ordering and display the
// bytes are read as UTF-8 where they are strictly valid UTF-8, else as
// Windows-1252. Decoding never changes the stored bytes.
QString decodeEntry(const QByteArray &bytes);

// The code points decodeEntry() reads from `bytes`, written to `out`, which
// must have room for bytes.size() of them: no byte yields more than one.
// Returns how many were written. Keys are built from code points, so this
// spares building a QString for every entry of a file.
qsizetype decodeEntryCodePoints(QByteArrayView bytes, char32_t *out);

// The first `maxCharacters` UTF-16 units of decodeEntry(bytes), decoding no
// more of a long entry than that.
QString decodeEntryStart(QByteArrayView bytes, qsizetype maxCharacters);
