#include "host/toolkit/EventWidget.h"

#include <QtCore/QObject>
#include <algorithm>
#include <vector>

namespace XP {

namespace {

CEventSink::Handler& sinkHandler() {
    static CEventSink::Handler handler;
    return handler;
}

// Live theme handlers in creation order; GUI thread only.
std::vector<CUiResourceChangeHandler*>& liveHandlers() {
    static std::vector<CUiResourceChangeHandler*> handlers;
    return handlers;
}

} // namespace

CEventDeliverer::~CEventDeliverer() = default;

bool CEventDeliverer::handleEvent(int, int, int, const QString&, void*) {
    return false;
}

CEventDeliverer* CEventDeliverer::fromObject(QObject* object) {
    return dynamic_cast<CEventDeliverer*>(object);
}

bool CEventDeliverer::deliverEvent(int id, int a, int b, const QString& text, void* p) {
    QObject* sender = eventObject();
    for (QObject* o = sender ? sender->parent() : nullptr; o; o = o->parent()) {
        if (CEventDeliverer* d = fromObject(o)) {
            if (d->handleEvent(id, a, b, text, p))
                return true;
        }
    }
    return CEventSink::deliver(sender, id, a, b, text, p);
}

void CEventSink::setHandler(Handler handler) {
    sinkHandler() = std::move(handler);
}

void CEventSink::clearHandler() {
    sinkHandler() = Handler();
}

bool CEventSink::deliver(QObject* sender, int id, int a, int b, const QString& text, void* p) {
    // copy: the handler may replace itself while running
    Handler h = sinkHandler();
    return h ? h(sender, id, a, b, text, p) : false;
}

CUiResourceChangeHandler::CUiResourceChangeHandler() {
    liveHandlers().push_back(this);
}

CUiResourceChangeHandler::CUiResourceChangeHandler(const CUiResourceChangeHandler&) {
    liveHandlers().push_back(this);
}

CUiResourceChangeHandler::~CUiResourceChangeHandler() {
    auto& v = liveHandlers();
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void CUiResourceChangeHandler::themeChanged() {}

void CUiResourceChangeHandler::notifyAll() {
    // a handler may delete others (or create new ones) while reacting
    const std::vector<CUiResourceChangeHandler*> snapshot = liveHandlers();
    for (CUiResourceChangeHandler* h : snapshot) {
        const auto& live = liveHandlers();
        if (std::find(live.begin(), live.end(), h) != live.end())
            h->themeChanged();
    }
}

int CUiResourceChangeHandler::liveCount() {
    return int(liveHandlers().size());
}

CBaseWidget::CBaseWidget(QWidget* parent, const QString& name) : CEventWidgetT<QWidget>(parent) {
    if (!name.isEmpty())
        setObjectName(name);
}

CBaseWidget::~CBaseWidget() = default;

bool CBaseWidget::handleEvent(int id, int a, int b, const QString& text, void* p) {
    return CEventDeliverer::handleEvent(id, a, b, text, p);
}

} // namespace XP
