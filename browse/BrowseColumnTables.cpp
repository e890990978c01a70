#include "browse/BrowseColumnTables.h"

#include "host/toolkit/UiResource.h"

namespace TC {

int BrowseColumnTables::paletteIndex(const QString& key)
{
    for (size_t i = 1; i < palette.size(); ++i) {
        if (palette[i].key == key)
            return int(i);
    }
    if (palette.size() >= 256)
        return 0; // full: the cell falls back to the equal colour
    palette.push_back({key, XP::CUiResource::instance().getColor(key)});
    return int(palette.size() - 1);
}

void BrowseColumnTables::resolvePalette()
{
    auto& resources = XP::CUiResource::instance();
    for (size_t i = 1; i < palette.size(); ++i)
        palette[i].color = resources.getColor(palette[i].key);
}

} // namespace TC
