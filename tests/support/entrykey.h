#pragma once

#include "collation/collationkey.h"

#include <QByteArray>
#include <QByteArrayView>

#include <limits>
#include <optional>

// The whole key of an entry, to order entries by as the list must.
inline QByteArray wholeEntryKey(const collation::CollationKeyMaker &keys, QByteArrayView bytes)
{
    QByteArray key;
    std::optional<collation::EntryEncoding> encoding;
    keys.appendEntryKeyStart(bytes, std::numeric_limits<int32_t>::max(), key, encoding);
    return key;
}
