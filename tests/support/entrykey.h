#pragma once

#include "collation/collationkey.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The whole key of an entry, to order entries by as the list must. Built
// as the list builds it where starts tie: eight times as much each time,
// until it is whole.
inline QByteArray wholeEntryKey(const collation::CollationKeyMaker &keys, QByteArrayView bytes)
{
    std::optional<collation::EntryEncoding> encoding;
    for (qsizetype size = 8;; size *= 8) {
        QByteArray key;
        if (keys.appendEntryKeyStart(bytes, size, key, encoding))
            return key;
    }
}
