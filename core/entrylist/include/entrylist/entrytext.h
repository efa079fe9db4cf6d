#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace core {

// An entry keeps the exact bytes of its line. For ordering and display the
// bytes are read as UTF-8 where they are strictly valid UTF-8, else as
// Windows-1252 (see collation::entryEncoding()). Decoding never changes the
// stored bytes.
QString decodeEntry(QByteArrayView bytes);

// The first `maxCharacters` UTF-16 units of decodeEntry(bytes), decoding no
// more of a long entry than that.
QString decodeEntryStart(QByteArrayView bytes, qsizetype maxCharacters);

} // namespace core
