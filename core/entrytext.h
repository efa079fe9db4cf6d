#pragma once

#include <QByteArray>
#include <QString>

// An entry keeps the exact bytes of its line. For ordering and display the
// bytes are read as UTF-8 where they are strictly valid UTF-8, else as
// Windows-1252. Decoding never changes the stored bytes.
QString decodeEntry(const QByteArray &bytes);
