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
    // Code points that follow in a string: their weights depend on what
    // comes before them.
    std::unordered_set<char32_t> continuing;
    // Each beginning of a contraction whose lowest continuation sorts before
    // the beginning alone, with that continuation, and their last code points.
    std::unordered_map<std::u16string, std::u16string> lowest;
    std::unordered_set<char32_t> lowestEnds;
    int longestBeginning = 0;

    // Adds the strings of a collator.
    void add(const std::vector<std::u16string> &strings, const UCollator *collator);
};

// The tailoring's own strings, which ICU lists quickly.
std::vector<std::u16string> tailoredStrings(const UCollator *collator);
// The strings of the root collation, which every locale has besides its
// tailoring's. ICU takes milliseconds to list them: the build lists them
// once, and they are listed again only when this ICU is not the build's.
const std::vector<std::u16string> &rootStrings();

} // namespace collation
