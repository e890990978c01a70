#pragma once
// The demo's layout across runs: the window's geometry and panes, and the browse view's
// whole parameter string (current sector, sector bar texts, per-sector table layouts,
// position layouts per account type, the lower pane's state, the option pane, indicator
// columns and their last values), kept in the user's data folder.

#include <QByteArray>
#include <QString>

class DemoWindow;

struct DemoLayout {
    QString view; // the view's param(true)
    QByteArray geometry;
    QByteArray panes;
};

// "<user data folder>/DemoLayout.json"
QString demoLayoutPath();
// False when no layout was saved or the file is unreadable (logged); out stays empty.
bool loadDemoLayout(DemoLayout& out);
// Window geometry and panes, then the view (an empty string shows "沪深A股").
void applyDemoLayout(DemoWindow& window, const DemoLayout& layout);
bool saveDemoLayout(DemoWindow& window);
