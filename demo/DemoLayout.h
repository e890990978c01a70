#pragma once
// The demo's layout across runs: the window's geometry and panes, the sector shown and the
// browse table's full parameter string (columns, widths, order, sort, indicator columns and
// their last values), kept in the user's data folder.

#include <QByteArray>
#include <QString>

class DemoWindow;

struct DemoLayout {
    QString sector;
    QString browse; // the table's param(true)
    QByteArray geometry;
    QByteArray panes;
};

// "<user data folder>/DemoLayout.json"
QString demoLayoutPath();
// False when no layout was saved or the file is unreadable (logged); out stays empty.
bool loadDemoLayout(DemoLayout& out);
// Window geometry, panes, then the table (after its sector is shown).
void applyDemoLayout(DemoWindow& window, const DemoLayout& layout);
bool saveDemoLayout(DemoWindow& window);
