#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct UCollator;

namespace collation {

// What the contractions and context mappings of a collator mean for keys.
// ICU lists them as strings: "ch" in Czech, a Thai leading vowel and a
// consonant, "l·" where the middle dot weighs less after l.
struct Contractions
{
    // Code points that begin a string, and those that follow in one: the
    // weights of the latter depend on what comes before them.
    std::unordered_set<char32_t> starting;
    std::unordered_set<char32_t> continuing;
    // Code points of root strings that have ASCII in them too.
    std::unordered_set<char32_t> withAscii;
    // Every proper beginning of every string.
    std::unordered_set<std::u16string> beginnings;
    // Each beginning of a contraction whose lowest continuation sorts before
    // the beginning alone, with that continuation, and their last code points.
    std::unordered_map<std::u16string, std::u16string> lowest;
    std::unordered_set<char32_t> lowestEnds;
    int longestBeginning = 0;

    // Adds the strings of a collator. Which strings ASCII takes part in is
    // known from the tailoring alone, so the other code points of a root
    // string that has ASCII in it are noted apart.
    void add(const std::vector<std::u16string> &strings, bool root, const UCollator *collator);
};

// The tailoring's own strings, which ICU lists quickly.
std::vector<std::u16string> tailoredStrings(const UCollator *collator);
// The strings of the root collation, which every locale has besides its
// tailoring's. ICU takes milliseconds to list them: the build lists them
// once, and they are listed again only when this ICU is not the build's.
const std::vector<std::u16string> &rootStrings();

} // namespace collation
