#pragma once
// Matching texts by the initials of their Mandarin readings, as users type them in the
// search fields: "YH" finds "银行" ("行" reads both xíng and háng, and every reading
// counts). The readings table is generated from the Unihan database at build time.

#include <QString>
#include <QVector>
#include <cstdint>

namespace TC {

// One entry per code point of a text: for a character with readings, bits 0..25 say
// which letters (A..Z) a reading starts with; a Latin letter (also full-width) is the
// set of that one letter; anything else is kPinyinLiteral | its upper-cased code point.
using PinyinInitials = QVector<uint32_t>;
constexpr uint32_t kPinyinLiteral = 0x80000000u;

// The letter set of one character's readings (bits 0..25), 0 when it has none.
uint32_t pinyinLetters(char32_t ch);
PinyinInitials pinyinInitials(const QString& text);
// The initials of each character's preferred reading ("YH" for "银行"); other
// characters as they are, letters upper-cased.
QString pinyinAbbreviation(const QString& text);

// True when key, read as initials (case-insensitive, full-width folded), occurs in text
// at any position. Other characters of key match themselves. An empty key matches.
bool isInByPy(const QString& key, const QString& text);
bool isInByPy(const QString& key, const PinyinInitials& text);

// A search key prepared once for many texts.
class CPinyinKey final {
public:
    explicit CPinyinKey(const QString& key);
    bool matches(const PinyinInitials& text) const; // anywhere in text
    // The same for a text whose initials were not precomputed (a code, a short name);
    // allocates nothing for texts up to 64 characters.
    bool matches(const QString& text) const;
    bool isPrefixOf(const PinyinInitials& text) const; // at its start
    bool isEmpty() const { return m_key.isEmpty(); }

private:
    bool matchesAt(const PinyinInitials& text, int start) const;
    QVector<uint32_t> m_key; // letters as their bit, others as literals
};

} // namespace TC
