#pragma once
// The option T-board: the calls and puts of one underlying and expiry month around their
// strikes, live from the push feed, with computed values, Greeks and estimated margins.
// A tool bar above the table holds the column-group tabs, the month buttons, the
// underlying's information line and the expiry line.
//
// Events handled: 5 (a tab id 0..3 or a month button id >= 4), 47 (row click; the data
// pointer, when set, points to the clicked column), 48 (range selection, the anchor row
// in the text), 49 (open). Sent upward: 47 and 3083 with the clicked side's contract code,
// 49 with the code and the contract's instrument record.

#include "host/data/PushQuoteParam.h"
#include "host/toolkit/EventWidget.h"
#include "pricet/OptionValues.h"

#include <QtCore/QHash>
#include <QtCore/QMap>
#include <QtCore/QSet>
#include <QtCore/QStringList>
#include <QtCore/QVector>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QTimer;
class QAction;

namespace XP {
class CAutoExpandToolBar;
class CPushButtonGroup;
class CSimpleTextWidget;
class CWidgetList;
class CMenu;
} // namespace XP

namespace ttservice {
struct CInstrumentDetail;
}

namespace TC {

class CHpfBrowserTable;
class CHpfOptionBrowserData;
class CHpfOptionBrowserDataModel;
class CWholeQuoteModel;
class CWorkerMailbox;

class COptionPriceTBrowseWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    enum { kTableId = 1000, kTableMenuFlags = 508, kFirstMonthId = 4 };
    enum EOptionMode { eStockOption = 32, eFutureOption = 1024 };

    explicit COptionPriceTBrowseWidget(QWidget* parent = nullptr);
    ~COptionPriceTBrowseWidget() override;

    // Shows the options of an underlying (stock key) and selects its first month. The
    // category of the outer pane (0..2 stock options, above 2 futures) picks the mode.
    // False, and nothing changes, for an empty or unknown key.
    bool selectUnderlying(const QString& key);
    void setCategory(int category) { m_nCategory = category; }
    // The trading day shown by the containing view (seconds); unset: the latest.
    void setCurrentTradeDateFunc(std::function<int64_t()> func);
    // The month buttons' expiry dates (yyyymmdd), in button order.
    QStringList monthExpiries() const;
    // Same as pressing the month's button; false for an unknown expiry.
    bool selectMonth(const QString& expiryYmd);
    void selectTab(int tab);

    // Column visibility of a column-group tab.
    static bool isColumnShown(int tab, int column);

    // The push handler: the cache fill and the whole-quote model deliver here. Off the
    // GUI thread the delivery is re-posted to it.
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes, bool last);
    // Reads the host cache for the codes per market and hands them to the push handler.
    void fillQuoterFromCache(const std::map<std::string, std::vector<std::string>>& codes);

    // Parameter string: the current tab and each tab's table layout.
    virtual QString getParam();
    virtual void setParam(const QString& param);

    // The "加入自选板块" table menu over the user's own sectors.
    void addSelfSectorMenu();
    // The same menu built again, in its place, after the user's sectors changed.
    void rebuildSelfSectorMenu();

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

    // State, for the containing views and tests.
    CHpfBrowserTable* table() const { return m_pTable; }
    CHpfOptionBrowserDataModel* model() const { return m_pModel; }
    const boost::shared_ptr<CWholeQuoteModel>& wholeQuoteModel() const { return m_pWholeQuote; }
    QString underlyingKey() const { return m_qsUnderlyingKey; }
    double underlyingPrice() const { return m_dUnderlyingPrice; }
    QString selectedExpiry() const { return m_qsExpiryDate; }
    int optionMode() const { return m_nOptionMode; }
    int contractMultiplier() const { return m_nMultiplier; }
    int currentTab() const { return m_nTab; }
    int selectedRow() const { return m_nSelectedRow; }
    bool isCallSide() const { return m_bCallSide; }
    int lastClickedColumn() const { return m_nLastClickColumn; }
    const QSet<QString>& selectedCodes() const { return m_selectedCodes; }
    QString expiryLine() const;
    // Texts of the information line: name, last, change, volume, open interest, amount.
    QStringList infoTexts() const;
    bool isOpenInterestShown() const;
    int refreshInterval() const { return m_nRefreshInterval; }
    // Pushes handled on the GUI thread since construction.
    quint64 pushCount() const { return m_nPushCount; }

public Q_SLOTS:
    void slotAddStockToSector();
    void slotBrowserRefreshTimeOut();
    void slotContrastSector();
    void slotOptionSettingChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Contract {
        boost::shared_ptr<CHpfOptionBrowserData> row;
        std::shared_ptr<ttservice::CInstrumentDetail> detail;
        COptionContract values;
        QString market;
        bool stockMarket = false;
    };

    // Quotes handed over from host threads, the latest per instrument: a snapshot
    // supersedes the older ones, so a fast feed cannot pile work up for the GUI thread.
    struct PendingQuotes {
        QVector<QString> codes, markets;
        std::vector<quoter::QuoterAllDataPtr> quotes;
        QHash<QString, int> index; // maps code to its position in the lists
    };

    void drainPending();
    void buildInterface();
    void applyTabVisibility();
    void centreHorizontalScroll();
    void clearMonth();
    void buildRows(const QStringList& keys);
    bool isLatestTradeDate(const QSet<QString>& markets) const;
    void writeExpiryLine();
    // The host's validity verdict on a quote time, remembered for the rest of a batch:
    // the quotes of one delivery mostly share their second.
    struct ValidityMemo {
        const QString* market = nullptr;
        int64_t second = -1;
        bool valid = false;
    };
    bool isValidTime(ValidityMemo& memo, const QString& market, int64_t ms) const;
    void updateUnderlying(const quoter::QuoterAllData& quote, ValidityMemo& memo);
    void updateTableData(Contract& contract, const quoter::QuoterAllData& quote, int today,
                         ValidityMemo& memo);
    void refreshEnvironment();
    void updateStrikePositions();
    bool isOptionOfBoard(const ttservice::CInstrumentDetail& d) const;
    bool isCallContract(const ttservice::CInstrumentDetail& d) const;
    QString sideCode(int row, bool call) const;
    void selectRow(int row, int column, bool range, int anchor);

    CHpfBrowserTable* m_pTable = nullptr;
    CHpfOptionBrowserDataModel* m_pModel = nullptr;
    boost::shared_ptr<CWholeQuoteModel> m_pWholeQuote;
    std::shared_ptr<CWorkerMailbox> m_mailbox;

    XP::CWidgetList* m_pList = nullptr;
    XP::CAutoExpandToolBar* m_pToolBar = nullptr;
    XP::CPushButtonGroup* m_pTabGroup = nullptr;
    XP::CPushButtonGroup* m_pMonthGroup = nullptr;
    XP::CSimpleTextWidget* m_pInfo[6] = {}; // name, last, change, volume, open interest, amount
    XP::CSimpleTextWidget* m_pInfoLabel[6] = {};
    XP::CSimpleTextWidget* m_pExpiryLine = nullptr;
    XP::CMenu* m_pSectorMenu = nullptr;

    QString m_qsUnderlyingKey, m_qsUnderlyingMarket, m_qsUnderlyingCode, m_qsUnderlyingName;
    double m_dUnderlyingPrice = optionvalues::kUnset;
    QString m_qsExpiryDate;
    QMap<int, QString> m_monthButtons;      // maps button id to expiry date (yyyymmdd)
    QMap<QString, QStringList> m_monthKeys; // maps expiry date to its contracts' keys
    int m_nOptionMode = eStockOption;
    int m_nCategory = 0;
    int m_nMultiplier = 100;
    int m_nTab = 0;
    QMap<int, QString> m_tabLayouts; // maps tab to the table's saved layout
    int m_nSelectedRow = -1;
    bool m_bCallSide = true;
    int m_nLastClickColumn = -1;
    QSet<QString> m_selectedCodes;
    QTimer* m_pRefreshTimer = nullptr;
    int m_nRefreshInterval = 1000;
    std::function<int64_t()> m_tradeDateFunc;

    // Codes of the shown month to their rows; updates find rows only through it, so a
    // delivery of a code not of this month touches nothing.
    QHash<QString, Contract> m_contracts;
    std::vector<CHpfOptionBrowserData*> m_rows; // model order at build time
    COptionEnvironment m_env;
    std::map<std::string, double> m_greeks; // reused between contracts
    quint64 m_nPushCount = 0;
    std::mutex m_pendingMutex; // guards m_pending, filled by host threads
    PendingQuotes m_pending;
};

} // namespace TC
