#pragma once
// Event bus of the widget toolkit.
//
// Routing of deliverEvent(id, a, b, text, p) sent by a widget W:
//   1. walk W's Qt parent chain upward, starting at W's PARENT (never W itself);
//   2. the first ancestor that is a CEventDeliverer and whose handleEvent() returns true
//      consumes the event; deliverEvent returns true;
//   3. when no ancestor consumes it, the application sink (CEventSink) gets it with W as
//      sender; its handler's result is returned (false when no handler is installed).
// A widget handles events aimed at itself by calling its own handleEvent directly.

#include <QtCore/QString>
#include <QtWidgets/QWidget>
#include <functional>
#include <utility>

class QObject;

namespace XP {

class CEventDeliverer {
public:
    virtual ~CEventDeliverer();

    bool deliverEvent(int id, int a = 0, int b = 0, const QString& text = QString(),
                      void* p = nullptr);
    // Returns true when the event is consumed; the base consumes nothing.
    virtual bool handleEvent(int id, int a, int b, const QString& text, void* p);

    // The deliverer behind a Qt object, or null.
    static CEventDeliverer* fromObject(QObject* object);

protected:
    virtual QObject* eventObject() = 0;
};

// Application-level sink: events no widget consumed end here. The host application and
// tests install a handler to observe and answer them.
class CEventSink {
public:
    using Handler =
        std::function<bool(QObject* sender, int id, int a, int b, const QString& text, void* p)>;
    static void setHandler(Handler handler);
    static void clearHandler();
    static bool deliver(QObject* sender, int id, int a, int b, const QString& text, void* p);
};

// Event widget over any QObject-derived Qt base; constructor arguments pass to the base.
template <class QtBase>
class CEventWidgetT : public QtBase, public CEventDeliverer {
public:
    template <class... Args>
    explicit CEventWidgetT(Args&&... args) : QtBase(std::forward<Args>(args)...) {}

protected:
    QObject* eventObject() override { return this; }
};

// Every live handler is told when the colour theme switches (CUiResource::loadTheme).
class CUiResourceChangeHandler {
public:
    CUiResourceChangeHandler();
    CUiResourceChangeHandler(const CUiResourceChangeHandler&);
    CUiResourceChangeHandler& operator=(const CUiResourceChangeHandler&) = default;
    virtual ~CUiResourceChangeHandler();

    virtual void themeChanged();

    // Calls themeChanged() on every handler alive at the call; handlers destroyed or
    // created during the walk are skipped.
    static void notifyAll();
    static int liveCount();
};

class CBaseWidget : public CEventWidgetT<QWidget>, public CUiResourceChangeHandler {
    Q_OBJECT
public:
    explicit CBaseWidget(QWidget* parent = nullptr, const QString& name = QString());
    ~CBaseWidget() override;

    // Consumes nothing: unhandled events keep travelling up to the sink.
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
};

} // namespace XP
