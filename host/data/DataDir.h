#pragma once
// Where the host's read-only data files lie (market/, themes/).

#include <QString>

namespace TC {

// $TT_DATA_DIR when set; else the share folder installed beside this library, found
// from the library's own location so that any install prefix works; else, for a library
// still in its build tree, the source tree's data folder.
QString getResourceDir();

} // namespace TC
