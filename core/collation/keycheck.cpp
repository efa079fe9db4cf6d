#include "keycheck.h"

#include <iterator>

namespace collation {

namespace {

// In UTF-8: each of these alone, and each of the first ones beside every
// other: letters with one primary weight and with two, accents, spaces,
// punctuation and digits, ignorables, marks, and other scripts.
// clang-format off
const char *const probeCodePoints[] = {
        "a", "z", "A", "0", " ", "-", "'", ".", "\xC3\xA9", "\xC3\x9F", "\xC3\xA6", "\xC3\xB8",
        "\xC3\xA5", "\xCC\x81", "\xC2\xAD", "\xE0\xB9\x80", "\xE0\xB8\x81", "\xE4\xB8\x80", "b",
        "m", "9", "_", "&", "/", "\x09", "\xC3\xB1", "\xC3\xA7", "\xC3\xB6", "\xC5\x93",
        "\xC5\x82", "\xC4\x8D", "\xC5\x99", "\xC4\xB1", "\xCF\x83", "\xD0\xB6", "\xD7\x90",
        "\xD8\xA8", "\xD9\x80", "\xE0\xA4\x95", "\xE0\xB8\xB2", "\xEA\xB0\x80", "\xCC\x88",
        "\xE2\x80\x8B", "\xD9\xA3", "\xF0\x9F\x98\x80"};
// clang-format on
constexpr size_t pairedCodePoints = 10;

} // namespace

const std::vector<QByteArray> &keyProbes()
{
    static const std::vector<QByteArray> probes = [] {
        std::vector<QByteArray> texts;
        for (size_t i = 0; i < std::size(probeCodePoints); ++i) {
            texts.emplace_back(probeCodePoints[i]);
            for (size_t k = 0; i < pairedCodePoints && k < std::size(probeCodePoints); ++k)
                texts.push_back(QByteArray(probeCodePoints[i]).append(probeCodePoints[k]));
        }
        // Past 33 common secondary weights their count takes two bytes; a
        // repeated primary lead byte is left out.
        texts.push_back(QByteArray("a").repeated(40));
        texts.push_back(QByteArray("ab\xC3\xA9 ").repeated(20));
        texts.push_back(QByteArray("\xC3\xA9").repeated(40));
        texts.push_back(QByteArray("\xE0\xB8\x81\xE0\xB8\xB2").repeated(20));
        return texts;
    }();
    return probes;
}

bool writtenKeysAgree(const std::vector<QByteArray> &probes, const WrittenKey &written,
                      const ReferenceKey &reference)
{
    QByteArray writtenKey;
    QByteArray referenceKey;
    for (const QByteArray &probe : probes) {
        writtenKey.clear();
        if (!written(probe, writtenKey))
            continue;
        referenceKey.clear();
        reference(probe, referenceKey);
        if (writtenKey != referenceKey)
            return false;
    }
    return true;
}

} // namespace collation
