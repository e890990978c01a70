#pragma once
// The option board's outer pane: a category bar over the list of underlyings (the host
// sector "T型报价板" filtered by category), the quote pane of the chosen underlying, the
// T-board and the quote pane of the chosen option.
//
// Events handled: 5 with an id below 10 (a category button), 47 (a row click: from the
// board's table the option's pane follows it, from the list the underlying's pane and the
// board do).

#include "host/toolkit/EventWidget.h"

#include <QtCore/QList>

#include <boost/function/function_fwd.hpp>

#include <memory>

namespace XP {
class CPushButtonGroup;
class CSplitButtonContainer;
class CWidgetList;
} // namespace XP

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class CBrowseWidget;
class COptionPriceTBrowseWidget;
class CQuoteMainWidget;

class CPriceTBrowseWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    using InstrumentList = QList<std::shared_ptr<ttservice::CInstrumentDetail>>;
    enum { kCategoryCount = 9, kListTableId = 88 };

    explicit CPriceTBrowseWidget(QWidget* parent = nullptr);
    ~CPriceTBrowseWidget() override;

    // Same as pressing the category's button.
    void selectCategory(int category);
    int category() const { return m_nCategory; }
    // The underlyings of a category, in sector order (Chinese text of each in
    // categoryText).
    static InstrumentList filterUnderlyings(const InstrumentList& sector, int category);
    static QString categoryText(int category);

    // The pane's layout: the list's, the board's and both quote panes' parameter strings.
    // Saving also writes the list's side files (cached indicator values, field lists).
    QString getParam(bool save = false);
    // A string that does not parse changes nothing; a missing or non-string member leaves
    // its child unchanged.
    void setParam(const QString& param);

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

    // The trading day the containing panel shows (seconds), handed to the underlying list
    // and the board; an empty getter means the latest day.
    void setGetTradeDateFunc(const boost::function<int()>& getter);

    CBrowseWidget* underlyingList() const { return m_pUndlCodeBrowseWidget; }
    COptionPriceTBrowseWidget* board() const { return m_pOptionPriceTBrowseWidget; }
    CQuoteMainWidget* optionQuotePane() const { return m_pOptionPriceTQuoteMainWidget; }
    CQuoteMainWidget* underlyingQuotePane() const { return m_pUndlCodeQuoteMainWidget; }
    XP::CPushButtonGroup* categoryBar() const { return m_pCategoryGroup; }

private:
    void chooseUnderlying(const QString& key);
    void chooseOption(const QString& codeOrKey);

    XP::CPushButtonGroup* m_pCategoryGroup = nullptr;
    CBrowseWidget* m_pUndlCodeBrowseWidget = nullptr;
    COptionPriceTBrowseWidget* m_pOptionPriceTBrowseWidget = nullptr;
    CQuoteMainWidget* m_pOptionPriceTQuoteMainWidget = nullptr;
    CQuoteMainWidget* m_pUndlCodeQuoteMainWidget = nullptr;
    XP::CWidgetList* m_pLeftList = nullptr;
    XP::CSplitButtonContainer* m_pLeftSplit = nullptr;
    XP::CSplitButtonContainer* m_pRightSplit = nullptr;
    XP::CSplitButtonContainer* m_pOuterSplit = nullptr;
    int m_nCategory = 0;
};

} // namespace TC
