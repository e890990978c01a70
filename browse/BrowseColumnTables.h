#pragma once
// Column tables shared by every row of one browse model: which value slot and value
// type each table column id maps to, and the colour palette the rows index into.
// Owned by the model; rows keep a shared reference so a row held past its model
// still answers safely.

#include <QString>
#include <vector>

class QColor;

namespace TC {

struct BrowseColumnTables {
    // one entry per table column id, -1 when absent
    std::vector<int> quoteSlot;
    std::vector<int> indicatorSlot;
    std::vector<int> quoteId;
    std::vector<int> valueType; // 0 when absent
    // one entry per indicator slot
    std::vector<int> indicatorPrecision;
    int quoteSlotCount = 0; // one more than the largest quote slot handed out

    // Text colours by index; rows store one byte per column. Entry 0 is "no colour".
    struct PaletteEntry {
        QString key;
        const QColor* color = nullptr;
    };
    std::vector<PaletteEntry> palette{PaletteEntry()};

    static int at(const std::vector<int>& table, int column)
    {
        return column >= 0 && column < int(table.size()) ? table[size_t(column)] : -1;
    }
    static void put(std::vector<int>& table, int column, int value, int fill = -1)
    {
        if (column < 0)
            return;
        if (column >= int(table.size()))
            table.resize(size_t(column) + 1, fill);
        table[size_t(column)] = value;
    }
    int quoteSlotOf(int column) const { return at(quoteSlot, column); }
    int indicatorSlotOf(int column) const { return at(indicatorSlot, column); }
    int quoteIdOf(int column) const { return at(quoteId, column); }
    int valueTypeOf(int column) const
    {
        return column >= 0 && column < int(valueType.size()) ? valueType[size_t(column)] : 0;
    }
    int indicatorPrecisionOf(int slot) const { return at(indicatorPrecision, slot); }
    int indicatorCount() const { return int(indicatorPrecision.size()); }

    // The palette index of a key, added on first use (at most 255 colours).
    int paletteIndex(const QString& key);
    // Resolves every palette colour again from its key (theme changes).
    void resolvePalette();
};

} // namespace TC
