#include "demo/DemoLayout.h"

#include "demo/DemoWindow.h"

#include "host/data/Config.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/StdFile.h"
#include "view/CIndexBrowseView.h"

#include <QSplitter>

QString demoLayoutPath()
{
    return TC::getDataDir() + QStringLiteral("/DemoLayout.json");
}

bool loadDemoLayout(DemoLayout& out)
{
    out = DemoLayout();
    std::string text;
    if (!TC::stdReadFile(demoLayoutPath(), text))
        return false; // none saved yet
    const TC::JsonParseResult parsed = TC::JsonParam::parse(text);
    if (!parsed.ok()) {
        TT_LOG_ERROR("[demo layout] %1% is malformed, starting clean: %2%", demoLayoutPath(),
                     parsed.error);
        return false;
    }
    const TC::JsonObject& o = parsed.object;
    // a layout of an older demo (a table string, no view string) keeps only the window
    out.view = o.getQString("view");
    out.geometry = QByteArray::fromBase64(o.getString("geometry").c_str());
    out.panes = QByteArray::fromBase64(o.getString("panes").c_str());
    return true;
}

void applyDemoLayout(DemoWindow& window, const DemoLayout& layout)
{
    if (!layout.geometry.isEmpty())
        window.restoreGeometry(layout.geometry);
    if (!layout.panes.isEmpty())
        window.splitter()->restoreState(layout.panes);
    window.restoreView(layout.view);
}

bool saveDemoLayout(DemoWindow& window)
{
    TC::JsonBuilder out;
    out.appendString("view", window.view()->param(true))
        .appendString("geometry", window.saveGeometry().toBase64().toStdString())
        .appendString("panes", window.splitter()->saveState().toBase64().toStdString());
    if (!TC::stdWriteFile(demoLayoutPath(), out.toJson(), "wb")) {
        TT_LOG_ERROR("[demo layout] cannot write %1%", demoLayoutPath());
        return false;
    }
    return true;
}
