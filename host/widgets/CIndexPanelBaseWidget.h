#pragma once
// Base of the panels a terminal places in its windows: a named event widget that the host
// tells when to request and release data, and that carries the host's trade-date getter
// (the date a history-browsing terminal shows; empty for the live day).

#include "host/toolkit/EventWidget.h"

#include <QString>
#include <boost/function.hpp>

namespace TC {

class CIndexPanelBaseWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    CIndexPanelBaseWidget(QWidget* parent, const QString& panelName);
    ~CIndexPanelBaseWidget() override;

    QString panelName() const { return objectName(); }

    // The panel shows / hides; the base does nothing.
    virtual void request(bool force);
    virtual void unrequest();
    virtual void clear(bool all);
    // The panel's current instrument (stock key), empty when none.
    virtual QString getStock();

    virtual void setCurrentTradeDateFunc(boost::function<int()> getter);
    const boost::function<int()>& currentTradeDateFunc() const { return m_tradeDateFunc; }
    // The getter's date, or 0 (the live day) without one.
    int currentTradeDate() const { return m_tradeDateFunc ? m_tradeDateFunc() : 0; }

    // The host's pair parameter of the panel: the settings string a pane opened from this
    // panel for an instrument (stock key) takes. Empty without one.
    using PairParamFunc = boost::function<QString(const QString& key)>;
    void setPairParamFunc(const PairParamFunc& func) { m_pairParamFunc = func; }
    const PairParamFunc& pairParamFunc() const { return m_pairParamFunc; }

private:
    boost::function<int()> m_tradeDateFunc;
    PairParamFunc m_pairParamFunc;
};

} // namespace TC
