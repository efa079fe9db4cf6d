#pragma once

#include <QByteArrayView>

#include <unicode/utf8.h>

#include <array>

namespace collation {

// The code points of a text, from wherever it is held, handed one by one to
// a function that returns false to stop; forEachAt() hands each with the
// offset of its first byte. size() is at least their number, and first()
// is the text's first bytes, cut between two code points.

struct AsciiBytes
{
    QByteArrayView bytes;
    qsizetype size() const { return bytes.size(); }
    AsciiBytes first(qsizetype byteCount) const { return {bytes.first(byteCount)}; }
    template<typename F> bool forEach(F f) const
    {
        for (const char c : bytes) {
            if (!f(char32_t(c)))
                return false;
        }
        return true;
    }
    template<typename F> bool forEachAt(F f) const
    {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (!f(char32_t(bytes[i]), i))
                return false;
        }
        return true;
    }
};

// Well-formed UTF-8.
struct Utf8Bytes
{
    QByteArrayView bytes;
    qsizetype size() const { return bytes.size(); }
    Utf8Bytes first(qsizetype byteCount) const { return {bytes.first(byteCount)}; }
    template<typename F> bool forEachAt(F f) const
    {
        const auto *data = reinterpret_cast<const uint8_t *>(bytes.data());
        for (qsizetype i = 0, end = bytes.size(); i < end;) {
            const qsizetype at = i;
            UChar32 c;
            U8_NEXT_UNSAFE(data, i, c);
            if (!f(char32_t(c), at))
                return false;
        }
        return true;
    }
    template<typename F> bool forEach(F f) const
    {
        const auto *data = reinterpret_cast<const uint8_t *>(bytes.data());
        for (qsizetype i = 0, end = bytes.size(); i < end;) {
            UChar32 c;
            U8_NEXT_UNSAFE(data, i, c);
            if (!f(char32_t(c)))
                return false;
        }
        return true;
    }
};

// Windows-1252, its upper half given by a table.
struct Windows1252Bytes
{
    QByteArrayView bytes;
    const std::array<char32_t, 0x80> &high;
    qsizetype size() const { return bytes.size(); }
    Windows1252Bytes first(qsizetype byteCount) const { return {bytes.first(byteCount), high}; }
    template<typename F> bool forEachAt(F f) const
    {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto byte = uchar(bytes[i]);
            if (!f(byte < 0x80 ? char32_t(byte) : high[byte - 0x80], i))
                return false;
        }
        return true;
    }
    template<typename F> bool forEach(F f) const
    {
        for (const char c : bytes) {
            if (!f(uchar(c) < 0x80 ? char32_t(c) : high[uchar(c) - 0x80]))
                return false;
        }
        return true;
    }
};

} // namespace collation
