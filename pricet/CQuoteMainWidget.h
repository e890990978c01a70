#pragma once
// A quote pane of the option board: the host's intraday chart or its k-line chart of one
// instrument, one at a time. Enter, Return and F5 switch between them.

#include "host/toolkit/EventWidget.h"

namespace XP {
class CWidgetList;
}

namespace TC {

class CKLineMainWidget;
class CRealtimeMainWidget;

class CQuoteMainWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    enum EMode { eKLine = 0, eRealtime = 1 };

    explicit CQuoteMainWidget(QWidget* parent = nullptr);
    ~CQuoteMainWidget() override;

    // The instrument by stock key; an empty key clears the charts and requests nothing.
    void setStock(const QString& key);
    QString stock() const { return m_qsKey; }
    int mode() const { return m_nMode; }
    // Intraday to k-line or back; the chart left behind stops its requests.
    void switchMode();

    // {"m_pRealtimeMainWidget": text, "m_pKLineMainWidget": text}
    QString getParam() const;
    // Non-string members are skipped; a string that does not parse changes nothing.
    void setParam(const QString& param);

    CKLineMainWidget* klineWidget() const { return m_pKLineMainWidget; }
    CRealtimeMainWidget* realtimeWidget() const { return m_pRealtimeMainWidget; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    XP::CWidgetList* m_pList = nullptr;
    CKLineMainWidget* m_pKLineMainWidget = nullptr;
    CRealtimeMainWidget* m_pRealtimeMainWidget = nullptr;
    QString m_qsKey;
    int m_nMode = eRealtime;
};

} // namespace TC
