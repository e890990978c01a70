#include "host/data/Pinyin.h"

#include <algorithm>
#include <vector>

namespace TC {

namespace pinyin_data {
extern const uint32_t kDenseFirst, kDenseLast;
extern const uint32_t kPalette[];
extern const uint16_t kDense[];
extern const uint32_t kSparse[][2];
extern const uint32_t kSparseCount;
} // namespace pinyin_data

namespace {

constexpr uint32_t kLetterMask = 0x03FFFFFFu;

uint32_t readingWord(char32_t ch)
{
    using namespace pinyin_data;
    if (ch >= kDenseFirst && ch <= kDenseLast)
        return kPalette[kDense[ch - kDenseFirst]];
    if (ch < 0x2E80)
        return 0;
    const auto* end = kSparse + kSparseCount;
    const auto* it = std::lower_bound(kSparse, end, uint32_t(ch),
                                      [](const uint32_t(&e)[2], uint32_t c) { return e[0] < c; });
    return it != end && (*it)[0] == ch ? (*it)[1] : 0;
}

// Full-width ASCII folded to ASCII, Latin letters upper-cased.
char32_t fold(char32_t ch)
{
    if (ch >= 0xFF01 && ch <= 0xFF5E)
        ch -= 0xFEE0;
    if (ch >= 'a' && ch <= 'z')
        ch -= 'a' - 'A';
    return ch;
}

template <class F>
void forEachCodePoint(const QString& text, F f)
{
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        char32_t ch = text.at(i).unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        f(ch);
    }
}

uint32_t entryOf(char32_t ch, bool keySide)
{
    ch = fold(ch);
    if (ch >= 'A' && ch <= 'Z')
        return 1u << (ch - 'A');
    if (!keySide)
        if (const uint32_t letters = readingWord(ch) & kLetterMask)
            return letters;
    return kPinyinLiteral | uint32_t(ch);
}

bool entryMatches(uint32_t key, uint32_t text)
{
    return (key & kPinyinLiteral) ? key == text : (text & kPinyinLiteral) == 0 && (key & text);
}

} // namespace

uint32_t pinyinLetters(char32_t ch)
{
    return readingWord(ch) & kLetterMask;
}

PinyinInitials pinyinInitials(const QString& text)
{
    PinyinInitials out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t ch) { out.append(entryOf(ch, false)); });
    return out;
}

QString pinyinAbbreviation(const QString& text)
{
    QString out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t ch) {
        const uint32_t preferred = readingWord(ch) >> 26;
        if (preferred)
            out.append(QChar(char16_t('A' + preferred - 1)));
        else
            out.append(QString::fromUcs4(&(ch = fold(ch)), 1));
    });
    return out;
}

CPinyinKey::CPinyinKey(const QString& key)
{
    m_key.reserve(key.size());
    forEachCodePoint(key, [&](char32_t ch) { m_key.append(entryOf(ch, true)); });
}

bool CPinyinKey::matchesAt(const PinyinInitials& text, int start) const
{
    const int k = m_key.size();
    int i = 0;
    while (i < k && entryMatches(m_key[i], text[start + i]))
        ++i;
    return i == k;
}

bool CPinyinKey::matches(const PinyinInitials& text) const
{
    for (int start = 0; start + m_key.size() <= text.size(); ++start)
        if (matchesAt(text, start))
            return true;
    return false;
}

bool CPinyinKey::matches(const QString& text) const
{
    constexpr int kInline = 64;
    uint32_t inlineEntries[kInline];
    std::vector<uint32_t> heap;
    uint32_t* entries = inlineEntries;
    if (text.size() > kInline) {
        heap.resize(size_t(text.size()));
        entries = heap.data();
    }
    int n = 0;
    forEachCodePoint(text, [&](char32_t ch) { entries[n++] = entryOf(ch, false); });
    const int k = m_key.size();
    for (int start = 0; start + k <= n; ++start) {
        int i = 0;
        while (i < k && entryMatches(m_key[i], entries[start + i]))
            ++i;
        if (i == k)
            return true;
    }
    return false;
}

bool CPinyinKey::isPrefixOf(const PinyinInitials& text) const
{
    return m_key.size() <= text.size() && matchesAt(text, 0);
}

bool isInByPy(const QString& key, const PinyinInitials& text)
{
    return CPinyinKey(key).matches(text);
}

bool isInByPy(const QString& key, const QString& text)
{
    return CPinyinKey(key).matches(text);
}

} // namespace TC
