#include "collation/textencoding.h"

#include <QtEndian>
#include <QtGlobal>

#include <bit>
#include <cstring>

#if defined(Q_PROCESSOR_X86_64) && (defined(Q_CC_GNU) || defined(Q_CC_CLANG))
#include <immintrin.h>
#define HAVE_BLOCK_CHECK 1
#endif

namespace collation {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of
// the same value, so every byte has a character and none becomes U+FFFD.
constexpr char16_t windows1252High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence starting at `at`, or 0 when
// it is not one. Overlong forms, surrogates and values past U+10FFFF are not
// well-formed, so a Latin-1 or Windows-1252 line never passes for UTF-8.
qsizetype sequenceLength(const unsigned char *at, qsizetype left)
{
    const unsigned char lead = at[0];
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(at[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(at[1]) || !isContinuation(at[2]))
            return 0;
        if (lead == 0xE0 && at[1] < 0xA0) // overlong
            return 0;
        if (lead == 0xED && at[1] >= 0xA0) // UTF-16 surrogate
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(at[1]) || !isContinuation(at[2]) || !isContinuation(at[3]))
            return 0;
        if (lead == 0xF0 && at[1] < 0x90) // overlong
            return 0;
        if (lead == 0xF4 && at[1] >= 0x90) // past U+10FFFF
            return 0;
        return 4;
    }
    return 0; // a stray continuation byte, C0, C1 or F5-FF
}

constexpr quint64 highBits = 0x8080808080808080;

// The first byte at or after `at` that is not ASCII, or `end`. Sixteen bytes
// at a time where it can: most text is long runs of ASCII.
const unsigned char *skipAscii(const unsigned char *at, const unsigned char *end)
{
    while (end - at >= 16
           && ((qFromLittleEndian<quint64>(at) | qFromLittleEndian<quint64>(at + 8)) & highBits)
                   == 0)
        at += 16;
    while (end - at >= 8) {
        if (const quint64 high = qFromLittleEndian<quint64>(at) & highBits; high != 0)
            return at + std::countr_zero(high) / 8;
        at += 8;
    }
    while (at < end && *at < 0x80)
        ++at;
    return at;
}

#ifdef HAVE_BLOCK_CHECK

// What may not follow what in UTF-8, one bit for each fault. A pair of bytes
// is looked up by the first byte's top and bottom four bits and the second
// byte's top four bits, in a table each; the bits all three lookups share
// are its faults (J. Keiser and D. Lemire, "Validating UTF-8 in less than
// one instruction per byte", 2021).
namespace fault {
// A lead not followed by a continuation, or a lead where one belongs.
constexpr char tooShort = 1 << 0;
// A continuation after ASCII.
constexpr char tooLong = 1 << 1;
constexpr char overlong3 = 1 << 2;
constexpr char tooLarge = 1 << 3;
constexpr char surrogate = 1 << 4;
constexpr char overlong2 = 1 << 5;
// Both are F0-FF followed by 80-8F: past U+10FFFF, or overlong.
constexpr char tooLarge1000 = 1 << 6;
constexpr char overlong4 = 1 << 6;
// A continuation after a continuation: no fault where a lead two or three
// bytes back wants it, and its absence there is one.
constexpr char twoContinuations = char(1 << 7);
constexpr char carry = tooShort | tooLong | twoContinuations;
constexpr char large = carry | tooLarge | tooLarge1000;

// The three tables: by the first byte's top four bits, by its bottom four
// bits, and by the second byte's top four bits.
// clang-format off
constexpr char byFirstHigh[16] = {
        tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong,
        twoContinuations, twoContinuations, twoContinuations, twoContinuations,
        tooShort | overlong2, tooShort, tooShort | overlong3 | surrogate,
        tooShort | tooLarge | tooLarge1000 | overlong4};
constexpr char byFirstLow[16] = {
        carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry,
        carry | tooLarge, large, large, large, large, large, large, large,
        large, large | surrogate, large, large};
constexpr char bySecondHigh[16] = {
        tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooShort, tooShort, tooShort, tooShort};
// clang-format on
} // namespace fault

[[gnu::target("ssse3")]] __m128i lookUp(const char (&table)[16], __m128i index)
{
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(table)), index);
}

[[gnu::target("ssse3")]] __m128i highHalves(__m128i bytes)
{
    return _mm_and_si128(_mm_srli_epi16(bytes, 4), _mm_set1_epi8(0x0F));
}

// The faults of the pairs that end in `block`, `previous` being the sixteen
// bytes before it.
[[gnu::target("ssse3")]] __m128i faultsOf(__m128i block, __m128i previous)
{
    const __m128i before = _mm_alignr_epi8(block, previous, 15);
    const __m128i pairFaults = _mm_and_si128(
            _mm_and_si128(lookUp(fault::byFirstHigh, highHalves(before)),
                          lookUp(fault::byFirstLow, _mm_and_si128(before, _mm_set1_epi8(0x0F)))),
            lookUp(fault::bySecondHigh, highHalves(block)));
    // Top bit set where a lead of three or four bytes, two or three bytes
    // back, wants a continuation here.
    const __m128i third =
            _mm_subs_epu8(_mm_alignr_epi8(block, previous, 14), _mm_set1_epi8(char(0xE0 - 0x80)));
    const __m128i fourth =
            _mm_subs_epu8(_mm_alignr_epi8(block, previous, 13), _mm_set1_epi8(char(0xF0 - 0x80)));
    const __m128i wanted = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(char(0x80)));
    return _mm_xor_si128(pairFaults, wanted);
}

// What the blocks of an entry come to, read in order.
struct Blocks
{
    __m128i previous = _mm_setzero_si128();
    __m128i faults = _mm_setzero_si128();
    __m128i highBytes = _mm_setzero_si128();

    [[gnu::target("ssse3")]] void add(__m128i block)
    {
        faults = _mm_or_si128(faults, faultsOf(block, previous));
        highBytes = _mm_or_si128(highBytes, block);
        previous = block;
    }
};

// entryEncoding() sixteen bytes at a time, on processors with SSSE3: long
// lines of mixed text read several times as fast as byte by byte, where a
// branch on each sequence keeps the processor guessing. Every block is
// checked, ASCII or not, since a branch on that costs more than the check.
// The faults are exactly those sequenceLength() refuses. Kept apart from the
// check byte by byte, which short entries take, so as not to slow it.
[[gnu::noinline, gnu::target("ssse3")]] EntryEncoding entryEncodingBySsse3(QByteArrayView bytes)
{
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    Blocks blocks;
    for (; end - at >= 16; at += 16)
        blocks.add(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at)));
    // The rest is read from a copy padded with NUL bytes, at least one: a
    // sequence cut short by the end is cut short by that.
    alignas(16) char last[16] = {};
    std::memcpy(last, at, size_t(end - at));
    blocks.add(_mm_load_si128(reinterpret_cast<const __m128i *>(last)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(blocks.faults, _mm_setzero_si128())) != 0xFFFF)
        return EntryEncoding::Windows1252;
    return _mm_movemask_epi8(blocks.highBytes) == 0 ? EntryEncoding::Ascii : EntryEncoding::Utf8;
}

// The same, thirty-two bytes at a time, each half of a block looked up in
// the same tables.
[[gnu::always_inline, gnu::target("avx2")]] inline __m256i lookUp(const char (&table)[16],
                                                                  __m256i index)
{
    const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i *>(table));
    return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(half), index);
}

[[gnu::always_inline, gnu::target("avx2")]] inline __m256i highHalves(__m256i bytes)
{
    return _mm256_and_si256(_mm256_srli_epi16(bytes, 4), _mm256_set1_epi8(0x0F));
}

[[gnu::always_inline, gnu::target("avx2")]] inline __m256i faultsOf(__m256i block, __m256i previous)
{
    // Bytes are moved within the halves of a block only: each half is
    // joined to the sixteen bytes before it, the last half of `previous`
    // for the first.
    const __m256i halvesBefore = _mm256_permute2x128_si256(previous, block, 0x21);
    const __m256i before = _mm256_alignr_epi8(block, halvesBefore, 15);
    const __m256i pairFaults = _mm256_and_si256(
            _mm256_and_si256(
                    lookUp(fault::byFirstHigh, highHalves(before)),
                    lookUp(fault::byFirstLow, _mm256_and_si256(before, _mm256_set1_epi8(0x0F)))),
            lookUp(fault::bySecondHigh, highHalves(block)));
    const __m256i third = _mm256_subs_epu8(_mm256_alignr_epi8(block, halvesBefore, 14),
                                           _mm256_set1_epi8(char(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(_mm256_alignr_epi8(block, halvesBefore, 13),
                                            _mm256_set1_epi8(char(0xF0 - 0x80)));
    const __m256i wanted =
            _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(char(0x80)));
    return _mm256_xor_si256(pairFaults, wanted);
}

struct WideBlocks
{
    [[gnu::target("avx2")]] WideBlocks()
        : previous(_mm256_setzero_si256())
        , faults(_mm256_setzero_si256())
        , highBytes(_mm256_setzero_si256())
    { }

    __m256i previous;
    __m256i faults;
    __m256i highBytes;

    [[gnu::target("avx2")]] void add(__m256i block)
    {
        faults = _mm256_or_si256(faults, faultsOf(block, previous));
        highBytes = _mm256_or_si256(highBytes, block);
        previous = block;
    }
};

[[gnu::noinline, gnu::target("avx2")]] EntryEncoding entryEncodingByAvx2(QByteArrayView bytes)
{
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    WideBlocks blocks;
    for (; end - at >= 32; at += 32)
        blocks.add(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(at)));
    alignas(32) char last[32] = {};
    std::memcpy(last, at, size_t(end - at));
    blocks.add(_mm256_load_si256(reinterpret_cast<const __m256i *>(last)));
    if (!_mm256_testz_si256(blocks.faults, blocks.faults))
        return EntryEncoding::Windows1252;
    return _mm256_movemask_epi8(blocks.highBytes) == 0 ? EntryEncoding::Ascii : EntryEncoding::Utf8;
}

// Asked once as the program starts; a check before then reads byte by byte.
const bool hasSsse3 = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
const bool hasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));

#endif

} // namespace

// Reads the whole entry, however little of it is decoded: one byte that is
// not UTF-8 anywhere makes all of it Windows-1252.
EntryEncoding entryEncoding(QByteArrayView bytes)
{
#ifdef HAVE_BLOCK_CHECK
    // Below a few blocks the check byte by byte ends as soon. Entries of a
    // few hundred bytes and more are checked in blocks twice as wide where
    // the processor has AVX2; those between stay with SSSE3, so that both
    // are used, and tested, on such processors.
    if (bytes.size() >= 256 && hasAvx2)
        return entryEncodingByAvx2(bytes);
    if (bytes.size() >= 64 && hasSsse3)
        return entryEncodingBySsse3(bytes);
#endif
    const auto *at = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *const end = at + bytes.size();
    bool ascii = true;
    while ((at = skipAscii(at, end)) < end) {
        const qsizetype length = sequenceLength(at, end - at);
        if (length == 0)
            return EntryEncoding::Windows1252;
        ascii = false;
        at += length;
    }
    return ascii ? EntryEncoding::Ascii : EntryEncoding::Utf8;
}

char16_t windows1252Character(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : char16_t(byte);
}

} // namespace collation
