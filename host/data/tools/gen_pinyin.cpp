// Reads the Unihan readings (decompressed, on stdin) and writes a C++ source with the
// pinyin initials of every character that has a Mandarin reading. Each character maps
// to a 32-bit word: bit n (0..25) is set when a reading starts with letter 'a' + n;
// bits 26..30 hold 1 + the letter of the preferred (kMandarin) reading. BMP characters
// from U+3400 to U+9FFF index a palette of distinct words through a dense table; the
// others are kept as sorted (code point, word) pairs.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDenseFirst = 0x3400, kDenseLast = 0x9FFF;

// First code point of a UTF-8 text.
uint32_t firstCodePoint(const std::string& s)
{
    if (s.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80)
        return b0;
    int n = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
    uint32_t cp = b0 & (0x3F >> n);
    for (int i = 1; i <= n && i < int(s.size()); ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return cp;
}

// The Latin letter a reading starts with (tone marks dropped), or -1.
int letterOf(uint32_t cp)
{
    if (cp >= 'a' && cp <= 'z')
        return int(cp - 'a');
    if (cp >= 'A' && cp <= 'Z')
        return int(cp - 'A');
    switch (cp) {
    case 0xE0:
    case 0xE1:
    case 0x101:
    case 0x1CE: return 'a' - 'a';
    case 0xE8:
    case 0xE9:
    case 0xEA:
    case 0x113:
    case 0x11B:
    case 0x1EBF:
    case 0x1EC1: return 'e' - 'a';
    case 0xEC:
    case 0xED:
    case 0x12B:
    case 0x1D0: return 'i' - 'a';
    case 0xF2:
    case 0xF3:
    case 0x14D:
    case 0x1D2: return 'o' - 'a';
    case 0xF9:
    case 0xFA:
    case 0x16B:
    case 0x1D4: return 'u' - 'a';
    case 0xFC:
    case 0x1D6:
    case 0x1D8:
    case 0x1DA:
    case 0x1DC: return 'v' - 'a';
    case 0x1E3F: return 'm' - 'a';
    case 0x144:
    case 0x148:
    case 0x1F9: return 'n' - 'a';
    default: return -1;
    }
}

// Readings of a field value: "yī", "xíng(2943) háng(218)", "20811.060:háng,xìng",
// "0442.080:háng 0443.050:hàng".
std::vector<std::string> readingsOf(const std::string& value)
{
    std::vector<std::string> out;
    std::istringstream words(value);
    std::string w;
    while (words >> w) {
        const size_t colon = w.rfind(':');
        if (colon != std::string::npos)
            w = w.substr(colon + 1);
        size_t start = 0;
        while (start <= w.size()) {
            size_t comma = w.find(',', start);
            if (comma == std::string::npos)
                comma = w.size();
            std::string r = w.substr(start, comma - start);
            const size_t paren = r.find('(');
            if (paren != std::string::npos)
                r = r.substr(0, paren);
            if (!r.empty())
                out.push_back(r);
            start = comma + 1;
        }
    }
    return out;
}

} // namespace

int main()
{
    std::map<uint32_t, uint32_t> words;
    std::string line;
    size_t lines = 0;
    while (std::getline(std::cin, line)) {
        if (line.size() < 3 || line[0] != 'U' || line[1] != '+')
            continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos)
            continue;
        const std::string field = line.substr(tab1 + 1, tab2 - tab1 - 1);
        const bool preferred = field == "kMandarin";
        if (!preferred && field != "kHanyuPinyin" && field != "kXHC1983" && field != "kTGHZ2013"
            && field != "kHanyuPinlu")
            continue;
        const uint32_t cp = uint32_t(std::stoul(line.substr(2, tab1 - 2), nullptr, 16));
        uint32_t& word = words[cp];
        bool first = true;
        for (const std::string& r : readingsOf(line.substr(tab2 + 1))) {
            const int letter = letterOf(firstCodePoint(r));
            if (letter < 0)
                continue;
            word |= 1u << letter;
            if (preferred && first)
                word = (word & 0x03FFFFFFu) | (uint32_t(letter + 1) << 26);
            first = false;
        }
        ++lines;
    }
    if (words.size() < 20000) {
        std::cerr << "gen_pinyin: only " << words.size() << " characters read; input broken?\n";
        return 1;
    }
    // characters without a preferred reading take their lowest letter as preferred
    for (auto& [cp, word] : words)
        if ((word >> 26) == 0 && (word & 0x03FFFFFFu))
            for (int l = 0; l < 26; ++l)
                if (word & (1u << l)) {
                    word |= uint32_t(l + 1) << 26;
                    break;
                }

    std::vector<uint32_t> palette{0};
    std::map<uint32_t, uint16_t> paletteIndex{{0, 0}};
    std::vector<uint16_t> dense(kDenseLast - kDenseFirst + 1, 0);
    std::vector<std::pair<uint32_t, uint32_t>> sparse;
    for (const auto& [cp, word] : words) {
        if (cp >= kDenseFirst && cp <= kDenseLast) {
            auto it = paletteIndex.find(word);
            if (it == paletteIndex.end()) {
                it = paletteIndex.emplace(word, uint16_t(palette.size())).first;
                palette.push_back(word);
            }
            dense[cp - kDenseFirst] = it->second;
        } else {
            sparse.emplace_back(cp, word);
        }
    }

    std::printf("// Generated from the Unihan readings by gen_pinyin; do not edit.\n"
                "#include <cstdint>\n\nnamespace TC {\nnamespace pinyin_data {\n\n");
    std::printf("extern const uint32_t kDenseFirst = 0x%X, kDenseLast = 0x%X;\n", kDenseFirst,
                kDenseLast);
    std::printf("extern const uint32_t kPalette[] = {");
    for (size_t i = 0; i < palette.size(); ++i)
        std::printf("%s0x%Xu,", i % 8 ? "" : "\n    ", palette[i]);
    std::printf("\n};\nextern const uint16_t kDense[] = {");
    for (size_t i = 0; i < dense.size(); ++i)
        std::printf("%s%u,", i % 16 ? "" : "\n    ", unsigned(dense[i]));
    std::printf("\n};\nextern const uint32_t kSparse[][2] = {");
    for (size_t i = 0; i < sparse.size(); ++i)
        std::printf("%s{0x%X,0x%Xu},", i % 4 ? "" : "\n    ", sparse[i].first, sparse[i].second);
    std::printf("\n};\nextern const uint32_t kSparseCount = %zu;\n\n", sparse.size());
    std::printf("} // namespace pinyin_data\n} // namespace TC\n");
    std::cerr << "gen_pinyin: " << words.size() << " characters from " << lines
              << " readings, palette " << palette.size() << ", sparse " << sparse.size() << "\n";
    return 0;
}
