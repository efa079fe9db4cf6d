#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

namespace collation {

// Keys written from the pieces' weights copy the bytes of ICU's sort keys,
// whose format ICU keeps to itself. Before they are first used they are
// held against keys ICU makes, on these probes: code points of many scripts
// and kinds alone, written side by side with each other, and in long runs,
// as UTF-8.
const std::vector<QByteArray> &keyProbes();

// Appends the written key of a text and returns true, or returns false,
// appending nothing, when it cannot be written.
using WrittenKey = std::function<bool(QByteArrayView text, QByteArray &key)>;
// Appends the key ICU gives a text.
using ReferenceKey = std::function<void(QByteArrayView text, QByteArray &key)>;

// Whether every probe that has a written key has exactly the reference key.
bool writtenKeysAgree(const std::vector<QByteArray> &probes, const WrittenKey &written,
                      const ReferenceKey &reference);

} // namespace collation
