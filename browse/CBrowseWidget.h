#pragma once
// The configurable quote table: one row per instrument of a sector, one column per
// quote field or computed value. The implementation is split by concern:
//   CBrowseWidget_frame.cpp       construction, events, request/unrequest, paging
//   CBrowseWidget_rows.cpp        the row set and lookups
//   CBrowseWidget_quotes.cpp      quote filling and the refresh tick
//   CBrowseWidget_sorting.cpp     sorting, selection, highlighting, export
//   CBrowseWidget_columns.cpp     column lists, column operations, menus
//   CBrowseWidget_colours.cpp     value colours and theme changes
//   CBrowseWidget_statistics.cpp  industry names, weights, net buying, statistics row

#include "browse/BrowseTypes.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/IndexValueParam.h"
#include "host/data/InstrumentDetail.h"
#include "host/toolkit/Align.h"
#include "host/toolkit/EventWidget.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMultiMap>
#include <QPointer>
#include <QSet>
#include <QVector>

#include <boost/function.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QColor;
class QMenu;
class QTimer;

namespace XP {
class CMenu;
class CWidgetList;
} // namespace XP

namespace TC {

class CHpfBrowserDataModel;
class CHpfBrowserTable;
class CIndexColorParameterDialog;

class CBrowseWidget : public XP::CBaseWidget, public IWholeQuoteClient {
    Q_OBJECT
public:
    using InstrumentList = QList<ttservice::CInstrumentDetailPtr>;

    explicit CBrowseWidget(QWidget* parent = nullptr, bool concise = false,
                           eBrowseType browseType = 0, int tableId = 88);
    ~CBrowseWidget() override;

    // --- overridable by the position list --------------------------------------------
    virtual void resetTableColumn();
    virtual void setStockList(const InstrumentList& list, bool freshOrder = false);
    virtual void setSectorName(const QString& name);
    virtual void setStock(const QString& key);
    virtual QList<QString> getStockList();
    virtual void resetSelectStock();
    virtual QMultiMap<QString, QString> getAccountList();
    virtual QList<QString> getNoRepetionAccountList();
    virtual QString getApplyFormulaAccount();
    virtual QString getPositionAccount(const HpfBrowserDataPtr& row);
    virtual QString getPositionAccount(int row);
    virtual void updatePositionDataByQuote(const HpfBrowserDataPtr& row);
    virtual bool isPositionSector();
    virtual void getBrowserDataByStockCode(const std::string& key,
                                           std::vector<HpfBrowserDataPtr>& out,
                                           const QString& account);
    virtual void getRowIndexByStockCode(const QString& key, std::vector<int>& out);
    virtual QList<HpfBrowserDataPtr> getDataLastByCode(const QString& market, const QString& code);

    // --- frame -----------------------------------------------------------------------
    void setSectorCode(const QString& code) { m_qsSectorCode = code; }
    QString getSectorCode() const { return m_qsSectorCode; }
    QString getSectorName() const { return m_qsSectorName; }
    QString getStock(int row);
    QString getStock();
    int getStockListSize() const { return m_nStockListSize; }
    static int getStockCodeIndex(const QVector<QString>& keys, const QString& key);
    void addInstrument(const QString& key);
    void updateStock(const QString& key);
    void updateStockList(const InstrumentList& list);
    void clear();
    void clearContent();
    void request();
    void unrequest();
    int getBrowserStatus() const { return m_nBrowseStatus; }
    void resetBrowserStatus() { m_nBrowseStatus = BrowseStatus_Live; }
    eBrowseType browseType() const { return m_nBrowseType; }
    int tableId() const { return m_nTableId; }
    QString currentCode() const { return m_qsCurrentCode; }
    const QList<QString>& requestedMarkets() const { return m_requestMarkets; }

    QList<ColumnInfo> getBaseColumnList() const;
    // Decimals of a price step: 0.01 gives 2; a zero or missing step gives 2.
    static int priceDecimalsOf(double step);
    bool getBrowserColumn(ColumnInfo& out, EBrowserQuoterColumnID id) const;

    // paging (the view)
    int getStartIndex() const;
    QString getStartStock();
    void setSelectRow(int index);
    int getCurrentRowIndex() const;
    void openAndCloseDrag(bool on);

    CHpfBrowserTable* table() const { return m_pTable; }
    CHpfBrowserDataModel* model() const { return m_pModel; }
    const CWholeQuoteModelPtr& wholeQuoteModel() const { return m_pWholeQuoteModel; }

    // --- quotes ----------------------------------------------------------------------
    void requestMarketQuote(QList<QString>& markets);
    void formulaMarketQuoteBack(const QString& market, const QVector<QString>& codes,
                                const std::vector<quoter::QuoterAllDataPtr>& quotes, bool repaint);
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                              bool last) override;
    void fillQuoterFromCache();
    bool isLatestDay(QList<QString>& markets);
    bool isLatestDay(QString& market);
    void setGetTradeDateFunc(const boost::function<int()>& getter) { m_getTradeDate = getter; }
    int refreshInterval() const { return m_nRefreshInterval; }
    // Counters for the status bar and benchmarks.
    quint64 pushCount() const { return m_nPushCount; }
    quint64 refreshCount() const { return m_nRefreshCount; }

    // --- sorting, selection, highlighting --------------------------------------------
    void reSort(int column, int order);
    void sortByPreParam(int column, int order);
    void sortByRate();
    void getSortParam(int& column, int& order) const;
    void clearSort();
    void resort();
    void clearFilter();
    void setIsResetSelectStock(bool on) { m_bResetSelectStock = on; }
    void setCurSelectCode(const QString& key);
    void setCurSelectCodeMoveFirstRow(const QString& key);
    void setCurStock(const QString& key) { m_qsCurrentCode = key; }
    void setCurSelDrawBackground(bool on);
    void drawCurStockBackground(QString key, bool on);
    void showCurSelection();
    void showAllSelection();
    void setPanelFocus();
    void setHighLightStocks(const QMap<QString, ttservice::CInstrumentDetailPtr>& stocks);
    QVector<QString> getSelectStocks();
    std::string getSelectJsonParam();
    void getCustomSortParam(QMap<double, QList<QString>>& out);
    void setIndexConstituentsList(bool on)
    {
        m_bIndexConstituents = on;
        rebuildQuoteColumnPlan(); // the weight column's precision follows the flag
    }
    bool isIndexConstituentsList() const { return m_bIndexConstituents; }

    // --- columns and menus -----------------------------------------------------------
    void setColumnList(const QList<ColumnInfo>& list);
    void setDefaultColumnLock(bool lock);
    int addColumn(ColumnInfo& column);
    void removeColumnInfo(int column);
    bool getColumnInfo(int column, ColumnInfo& out) const;
    QVector<ColumnInfo> getCurrentColumnList() const;
    int getAllColumnNumber() const;
    int getColumnNumber(const QString& title) const;
    void setColumnVisible(const int& column, bool visible);
    void setColumnVisible(const QSet<QString>& titles, bool visible);
    void setColumnWidth(int width);
    void setColumnTextAlignment(int column, QFlags<XP::EAlign> align);
    void tryMoveColumnByNames(const QList<QString>& names);
    void tryMoveColumnByType(eBrowseType type);
    static QList<QString> columnNamesOfType(eBrowseType type);
    void resetSectorShowHideColumn();
    void setHomePageColumnVisible(bool compact);
    const QList<ColumnInfo>& columnList() const { return m_columnList; }
    int headerColumn() const { return m_nHeaderColumn; }
    int nightColumn() const { return m_nNightColumn; }
    int totalBuyColumn() const { return m_nTotalBuyColumn; }
    int totalSellColumn() const { return m_nTotalSellColumn; }
    int netBuyColumn() const { return m_nNetBuyColumn; }

    void showHeaderMenu(int column);
    // Shows and checks the header-menu entries for a column; false when it gets no menu.
    bool prepareHeaderMenu(int column);
    QMenu* headerMenu() const { return m_pHeaderMenu; }
    void addMenu(XP::CMenu* menu);
    QAction* addMenuAction(const QString& text);
    void addSeparator();
    QAction* getMenuAction(const QString& text) const;
    QAction* addFuncMenuAction(const QString& text, int kind);
    QAction* addExtendMenuAction(const QString& text);
    void addPublicMenuAction();

    // --- colours ---------------------------------------------------------------------
    void fillTextColor(const QColor*& colour, const QString*& key, const double& a, const double& b,
                       EBrowseTextGetColorType type) const;
    const QColor* getEqualColor() const;
    static QString CColorConversion(int code);
    const QColor* ColorValue(const QString& name) const;
    // Colour code 0..4 of a colour name; unknown names give 0.
    static int colorCodeOfName(const QString& name);
    // Colour ranges of indicator columns by title; changeIndexValueColor applies them.
    void setIndexValueParams(const QString& title, const std::vector<SIndexValueParam>& ranges);
    std::vector<SIndexValueParam> indexValueParams(const QString& title) const;
    void changeIndexValueColor(const std::string& title);
    CIndexColorParameterDialog* colorDialog() const { return m_pColorDialog; }
    void themeChanged() override;

    // --- industry, weights, statistics -----------------------------------------------
    QString getSectorNameByStockCode(const QString& code);
    float getStkWeight(const QString& key);
    void fillStocksWeight(const HpfBrowserDataPtr& row);

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

public Q_SLOTS:
    void slotWholeHistoryQuoteBack();
    void slotBrowserRefreshTimeOut();
    // Writes queued pushes into the rows between refresh ticks, so a tick never has a
    // whole interval of pushes to apply at once; it neither re-sorts nor repaints.
    void slotDrainQueued();
    void slotWheelEvent(int delta);
    void slotDragScollBar();
    void slotOptionSettingChange();
    void slotRemoveHeader();
    void slotQuickOrderBuy();
    void slotQuickOrderSell();
    void slotRemoveStockFromSector();
    void slotSelectCustomIndex();
    void slotSetIndexValueColor();
    void slotReInitIndustry();
    void slotCalcStatData();
    void slotUpdateStatData();
    void slotSendNetBuyingChange();
    void slotSendTotalBuySellChange();

Q_SIGNALS:
    // Emitted after each refresh tick that repainted (for status bars and tests).
    void sigRefreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Rows of a pushed instrument, without allocating; the position list overrides it.
    virtual void collectRowsByCode(const QString& market, const QString& code,
                                   std::vector<HpfBrowserDataPtr>& out);
    // Fills the visible columns of a past trading day from the local tick cache.
    virtual void updateVisibleColumn_fromLocalTick();
    // One row built from an instrument (step 4 of the row set); null for skipped input.
    HpfBrowserDataPtr buildRow(const ttservice::CInstrumentDetailPtr& detail);
    void addRowToIndex(const HpfBrowserDataPtr& row);
    void removeRowFromIndex(const HpfBrowserData* row);
    void clearRowIndex();
    void addRequestMarket(const QString& market);
    // One more than the largest column id in use.
    int columnIdBound() const;

private:
    friend class CBrowseWidgetTest;
    void initColor();
    void resolveColors();
    void registerPalette();
    void createUi();
    void createAction();
    void applyTableStyle();
    void rebuildQuoteColumnPlan();
    void formulaMarketQuoteBackExecute(const QString& market, const QVector<QString>& codes,
                                       const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                       bool repaint);
    void applyLinkedQuote(const quoter::QuoterAllData& quote, const QString& market,
                          const QString& code);
    void writeRowQuote(HpfBrowserData& row, const quoter::QuoterAllData& quote,
                       const QString& market, bool shSz);
    void applyDirectPush(const dorn::PushQuoteParam& param, const QVector<QString>& codes,
                         const std::vector<quoter::QuoterAllDataPtr>& quotes);
    void restartRefreshTimer(int interval);
    int colourIndexOf(double difference) const;
    void refreshTable();
    void sendEvent3255();
    void appendExtraColumns();
    QString numberFontKey() const;
    QString textFontKey() const;
    ColumnInfo* findColumn(int column);
    const ColumnInfo* findColumn(int column) const;

    // construction parameters
    bool m_bConcise;
    eBrowseType m_nBrowseType;
    int m_nTableId;

    XP::CWidgetList* m_pWidgetList = nullptr;
    CHpfBrowserTable* m_pTable = nullptr;
    CHpfBrowserDataModel* m_pModel = nullptr;
    CWholeQuoteModelPtr m_pWholeQuoteModel;
    CWorkerMailboxPtr m_mailbox;

    QTimer* m_pAutoRefreshTimer = nullptr;
    QTimer* m_pRefreshTimer = nullptr;
    QTimer* m_pStatTimer = nullptr;
    QTimer* m_pDrainTimer = nullptr;
    bool m_bDraining = false;
    int m_nRefreshInterval = 1000;
    int m_nConfigListener = -1;

    QString m_qsSectorName;
    QString m_qsSectorCode;
    QString m_qsCurrentCode;
    int m_nStockListSize = 0;
    QList<QString> m_requestMarkets;
    QSet<QString> m_changedMarkets;
    bool m_bChanged = false;
    qint64 m_nIndexRequestId = -1;
    int m_nBrowseStatus = BrowseStatus_Live;
    boost::function<int()> m_getTradeDate;
    quint64 m_nPushCount = 0;
    quint64 m_nRefreshCount = 0;

    // columns
    QList<ColumnInfo> m_columnList;       // table order; entry n has column id n + 3
    QList<ColumnInfo> m_extraColumns;     // quote ids 37..74
    QList<ColumnInfo> m_indicatorColumns; // formulaName not "QUOTER"
    QList<ColumnInfo> m_customColumns;
    QList<ColumnInfo> m_addedColumns;
    QList<ColumnInfo> m_requestQueue;
    QStringList m_removedColumnNames;
    QMap<int, ColumnInfo> m_baseColumns; // maps base quote id to its column
    int m_nSpeedColumn = -1;
    int m_nTotalBuyColumn = -1;
    int m_nTotalSellColumn = -1;
    int m_nNetBuyColumn = -1;
    int m_nCorrelationColumn = -1;
    int m_nNightColumn = -1;
    int m_nHeaderColumn = -1;
    QSet<QString> m_conditionSectors;

    // Quote columns a push writes: (column id, quote slot, quote id), rebuilt whenever
    // the column list changes so a push walks a flat array.
    struct QuoteColumn {
        int column;
        int slot;
        int quoteId;
        int precision;  // written with the value; 100: the instrument's price decimals
        int colourRule; // 0 none, 1 against the pre-close, 2 against zero
    };
    std::vector<QuoteColumn> m_quotePlan;
    std::vector<HpfBrowserDataPtr> m_rowScratch; // reused by every push
    int64_t m_nValidSecond = -1;                 // the last snapshot second checked for validity
    QString m_qsValidMarket;
    bool m_bValidSecond = false;
    bool m_bAHSector = false;
    bool m_bConnectSector = false;
    bool m_bCBSector = false;

    // rows by market and code, and by the linked instrument's market and code
    QHash<QString, QHash<QString, HpfBrowserDataPtr>> m_rowsByMarket;
    QHash<QString, QHash<QString, QVector<HpfBrowserDataPtr>>> m_linkedRows;

    // selection
    bool m_bCurRowBackground = false;
    bool m_bResetSelectStock = false;
    bool m_bIndexConstituents = false;

    // colours: keys chosen at construction, palette indices into the model's palette
    QString m_qsCodeKey, m_qsNameKey, m_qsRiseKey, m_qsFallKey, m_qsEqualKey, m_qsBigValueKey;
    const QColor* m_pCodeColor = nullptr;
    const QColor* m_pNameColor = nullptr;
    const QColor* m_pRiseColor = nullptr;
    const QColor* m_pFallColor = nullptr;
    const QColor* m_pEqualColor = nullptr;
    const QColor* m_pBigValueColor = nullptr;
    int m_nCodeIdx = 0, m_nNameIdx = 0, m_nRiseIdx = 0, m_nFallIdx = 0, m_nEqualIdx = 0,
        m_nBigValueIdx = 0;

    // menus
    QMenu* m_pHeaderMenu = nullptr;
    QAction* m_pActRemove = nullptr;
    QAction* m_pActRefreshColumn = nullptr;
    QAction* m_pActRefreshModel = nullptr;
    QAction* m_pActRefreshSetting = nullptr;
    QAction* m_pActAutoRefresh = nullptr;
    QAction* m_pActIndexColor = nullptr;
    QMap<QString, QAction*> m_menuActions;

    // colour ranges by column title, and the dialog that edits them (created on first use)
    std::map<QString, std::vector<SIndexValueParam>> m_indexValueParams;
    CIndexColorParameterDialog* m_pColorDialog = nullptr; // child of the widget

    // industry names by code, valid until the host re-initialises industries
    QHash<QString, QString> m_industryCache;
    // constituent weights (percent) by stock key, of the index m_qsWeightSectorCode
    QHash<QString, float> m_weights;
    QString m_qsWeightSectorCode;
};

} // namespace TC
