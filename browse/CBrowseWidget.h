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
//   CBrowseWidget_indicators.cpp  indicator columns: request queue, worker, value cache
//   CBrowseWidget_refresh.cpp     auto refresh and the refresh commands
//   CBrowseWidget_fetch.cpp       cache fetches, past trading days and their dispatch
//   CBrowseWidget_stage.cpp       interval statistic and speed columns
//   CBrowseWidget_external.cpp    external-data rows, extended-data columns, interval refresh
//   CBrowseWidget_userfields.cpp  user-defined (editable) field columns
//   CBrowseWidget_param.cpp       the parameter string and its side files

#include "browse/BrowseTypes.h"
#include "host/toolkit/Align.h"
#include "host/toolkit/EventWidget.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QMultiMap>
#include <QSet>
#include <QVector>

#include <boost/function/function_fwd.hpp>
#include <boost/shared_ptr.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QColor;
class QMenu;

namespace XP {
class CMenu;
} // namespace XP

namespace se {
struct RPCFetchCacheDataParam;
struct RPCFormulaMetaResult;
struct RPCFormulaResult;
using RPCFormulaMetaResultPtr = std::shared_ptr<RPCFormulaMetaResult>;
using RPCFormulaResultPtr = std::shared_ptr<RPCFormulaResult>;
} // namespace se

namespace ttservice {
struct CInstrumentDetail;
using CInstrumentDetailPtr = std::shared_ptr<CInstrumentDetail>;
} // namespace ttservice

namespace TC {

struct CExternalDataInfo;
struct ColumnInfo;
struct SIndexValueParam;
class JsonObject;
class CBrowseWidgetPrivate;
class CBrowserFetchDataProgressDialog;
class CHpfBrowserDataModel;
class CHpfBrowserTable;
class CIndexColorParameterDialog;
class CSetAutoRefreshDialog;
class HpfBrowserData;
typedef boost::shared_ptr<HpfBrowserData> HpfBrowserDataPtr;
// Records of a cache or tick fetch by stock key, as the host delivers them.
using BrowseFetchData = std::map<std::string, std::vector<quoter::QuoterBasePtr>>;

class CBrowseWidget : public XP::CBaseWidget, public IWholeQuoteClient {
    Q_OBJECT
public:
    using InstrumentList = QList<ttservice::CInstrumentDetailPtr>;

    explicit CBrowseWidget(QWidget* parent = nullptr, bool concise = false,
                           eBrowseType browseType = BrowseType_Default, int tableId = 88);
    ~CBrowseWidget() override;

    // --- overridable by the position list --------------------------------------------
    virtual QString param(bool save);
    virtual void setParam(const QString& param, bool load);
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
    void setSectorCode(const QString& code);
    QString getSectorCode() const;
    QString getSectorName() const;
    QString getStock(int row);
    QString getStock();
    int getStockListSize() const;
    static int getStockCodeIndex(const QVector<QString>& keys, const QString& key);
    void addInstrument(const QString& key);
    void updateStock(const QString& key);
    void updateStockList(const InstrumentList& list);
    void clear();
    void clearContent();
    void request();
    void unrequest();
    int getBrowserStatus() const;
    void resetBrowserStatus();
    eBrowseType browseType() const;
    int tableId() const;
    QString currentCode() const;
    const QList<QString>& requestedMarkets() const;

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

    CHpfBrowserTable* table() const;
    CHpfBrowserDataModel* model() const;
    const CWholeQuoteModelPtr& wholeQuoteModel() const;

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
    void setGetTradeDateFunc(const boost::function<int()>& getter);
    int refreshInterval() const;
    // Counters for the status bar and benchmarks.
    quint64 pushCount() const;
    quint64 refreshCount() const;

    // --- sorting, selection, highlighting --------------------------------------------
    void reSort(int column, int order);
    void sortByPreParam(int column, int order);
    void sortByRate();
    void getSortParam(int& column, int& order) const;
    void clearSort();
    void resort();
    void clearFilter();
    void setIsResetSelectStock(bool on);
    void setCurSelectCode(const QString& key);
    void setCurSelectCodeMoveFirstRow(const QString& key);
    void setCurStock(const QString& key);
    void setCurSelDrawBackground(bool on);
    void drawCurStockBackground(QString key, bool on);
    void showCurSelection();
    void showAllSelection();
    void setPanelFocus();
    void setHighLightStocks(const QMap<QString, ttservice::CInstrumentDetailPtr>& stocks);
    QVector<QString> getSelectStocks();
    std::string getSelectJsonParam();
    void getCustomSortParam(QMap<double, QList<QString>>& out);
    // The weight column's precision follows the flag.
    void setIndexConstituentsList(bool on);
    bool isIndexConstituentsList() const;

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
    const QList<ColumnInfo>& columnList() const;
    int headerColumn() const;
    int nightColumn() const;
    int totalBuyColumn() const;
    int totalSellColumn() const;
    int netBuyColumn() const;

    void showHeaderMenu(int column);
    // Shows and checks the header-menu entries for a column; false when it gets no menu.
    bool prepareHeaderMenu(int column);
    QMenu* headerMenu() const;
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
    // Drops the ranges coloured "default" from every title; the titles stay.
    void clearIndexParam();
    void changeIndexValueColor(const std::string& title);
    CIndexColorParameterDialog* colorDialog() const;
    void themeChanged() override;

    // --- indicator columns ------------------------------------------------------------
    // Value cache: first key (sector or condition sector) -> column title -> row key.
    using CustomIndexValues = QMap<QString, QMap<QString, QMap<QString, double>>>;

    // Request queue: FIFO of column copies; the head is the batch in progress.
    void pushBackRequestTask(ColumnInfo& column);
    // Drops the head (stopping its batch).
    void popBackRequestTask();
    // Starts the head's batch; heads whose columns are gone are dropped on the way.
    void nextReQuestTask();
    const QList<ColumnInfo>& requestQueue() const;
    // True while a batch runs (its results are still being laid).
    bool isIndicatorBatchRunning() const;
    // Indicator workers alive in the process (a stopped one ends after its current request).
    static int runningIndicatorWorkers();

    // Adds an indicator column the user chose (column list and custom-index list); -1 when
    // an equal column is listed.
    int addCustomIndex(ColumnInfo& column);
    const QList<ColumnInfo>& customIndexColumns() const;
    bool isCustomIndexExist(const QString& title) const;
    // Queues the last added column (started when the queue was empty).
    void requestCustomIndex();
    // Re-queues the head and every custom-index column with refreshAll.
    void requeAllCustomIndex();
    // Asks with a check-list dialog which custom-index columns to remove.
    void removeSelectCustomIndex();

    // Live last values of the sector's keys at the trade date (needs the trade-date getter).
    void requestLastIndex();
    qint64 lastIndexRequestId() const;
    const std::map<std::string, quoter::QuoterBasePtr>& lastIndexData() const;
    void ondataIndex(const std::map<std::string, quoter::QuoterBasePtr>& values);

    void setColumnValue(int columnId, const QMap<QString, double>& values);
    void fillLastCustomIndexValue();
    // Collapses the cached-value fills of a run of restores (a sector switch, layouts,
    // side files) into one fill when the last hold goes; rows sorted meanwhile are re-sorted.
    class ValueFillHold {
    public:
        explicit ValueFillHold(CBrowseWidget* widget);
        ~ValueFillHold();
        ValueFillHold(const ValueFillHold&) = delete;
        ValueFillHold& operator=(const ValueFillHold&) = delete;

    private:
        CBrowseWidget* m_pWidget;
    };
    CustomIndexValues& customIndexValues();
    const CustomIndexValues& customIndexValues() const;
    // (row key, formula) pairs requested by batches since construction or clear().
    int requestedPairCount() const;

    // --- refresh -----------------------------------------------------------------------
    void setColumnAutoRefresh(int columnId);
    bool isRefreshFinish() const;
    // The column the refresh commands act on (the last header menu's column).
    void setCurrentColumn(int columnId);
    int autoRefreshTicks() const;
    CSetAutoRefreshDialog* autoRefreshDialog() const;

    // --- persistence (CBrowseWidget_param.cpp) ----------------------------------------
    // Only the column definitions ("customs", "UserDefined"), for column templates.
    QString getCustomColumnParam() const;
    // Adds the columns of such a string; a malformed one is logged and adds nothing.
    // False when the string did not parse (an empty one included).
    bool setCustomColumnParam(const QString& param);
    QString saveConfigStr() const;
    bool loadConfigStr(const QString& config);
    // -1 draws a new id (the time in seconds, or one past the last id drawn); another id
    // raises the counter to it. The path "<data dir>/BrowseParam/<id>".
    static QString getParamNameByID(long long id);

    // --- industry, weights, statistics -----------------------------------------------
    QString getSectorNameByStockCode(const QString& code);
    float getStkWeight(const QString& key);
    void fillStocksWeight(const HpfBrowserDataPtr& row);
    // The correlation column ("相关性"); its id, -1 while absent.
    void addCorelationColumn();
    void setCorelationValue(QMap<QString, double>& values);
    int getCorelationColumnID() const;

    // --- external data, extended data ----------------------------------------------------
    // The external layout: code, name, date and value columns; sets browse status 3.
    void setExternalColumn();
    // One row per series with a code (duplicates and empty codes skipped); browse status 3.
    void setDataList(QList<CExternalDataInfo*>& list);
    // Fetches the latest value of every external row, one fetch per period.
    void requestExternal();
    // Lays the last bar of each series into its row (GUI thread, fetch kind 3).
    void fetchExternalDataBack(const BrowseFetchData& data);
    void removeExternalData(const QString& code);
    // Cache fetches of requestExternal and requestForStatistic issued since construction.
    int externalFetchCount() const;
    // The fetches of the last requestExternal: period in ms -> codes.
    QMap<qint64, QStringList> externalFetchPlan() const;
    // External and interval-refresh deliveries laid by any widget of the process.
    static quint64 cacheDeliveriesLaid();

    void doUpdateExtendIndex(int columnId);
    void updateExtenddata(int columnId);
    void updateExtendIndex();
    void getExtendNames(QList<QString>& out) const;
    bool isExtendColID(int columnId) const;
    // Adds one extended-data column per name not yet shown and fills it; the new ids.
    QList<int> addExtendColumns(const QStringList& names);

    // --- user-defined fields -----------------------------------------------------------
    // -1 when an equal column exists; else the new column's id.
    int addCustomEditableColumn(ColumnInfo& column);
    // Adds an editable field column to the current sector, storing its default value;
    // -1 (with a message in why) for a rejected name or default, or a field already shown.
    int addCustomField(const QString& field, const QString& defaultValue, QString* why = nullptr);
    bool isCustomEditableColumn(int columnId) const;
    bool isCustomEditableColumn(int columnId, ColumnInfo& out) const;
    // Lays the field store's values of the current sector into the column.
    void updateEditable(ColumnInfo& column);
    const QList<ColumnInfo>& userDefinedColumns() const;
    QMap<QString, QStringList>& sectorFieldMap();
    // Every field registered for any sector, each once.
    void getAllField(QStringList& out) const;

    // --- interval refresh --------------------------------------------------------------
    // Refreshes the quote columns over [start, end] (seconds) with a progress dialog.
    void requestForStatistic(long long start, long long end, int setting, long long period);
    // Requests issued and answered by the running interval refresh.
    int statisticRequestCount() const;
    int statisticAnswerCount() const;
    void cancelStatistic();
    // The progress dialog of the interval refresh; null before the first refresh.
    CBrowserFetchDataProgressDialog* statisticProgressDialog() const;

    // --- cache fetches and past trading days ----------------------------------------
    using InstrumentsByMarket = QMap<QString, QList<ttservice::CInstrumentDetailPtr>>;
    // What a cache fetch delivers to slotFetchDatas.
    enum EFetchKind {
        FetchKind_Statistic = BrowseStatus_Statistic, // statistics over a history range
        FetchKind_External = BrowseStatus_External,   // external data
        FetchKind_Stage = 4,                          // interval statistic column
    };
    // Fetches from the host's data cache on a detached worker thread. The records reach
    // slotFetchDatas(records, kind, columnId) on the GUI thread through the worker mailbox;
    // nothing arrives once the widget is destroyed or after a later
    // nextFetchGeneration(kind, columnId). False, logged at ERROR, when no thread started.
    bool doFetchCacheData(const se::RPCFetchCacheDataParam& param, int kind, int columnId = 0);
    // Cache, tick and interval fetch workers alive in the process.
    static int runningFetchWorkers();
    // Makes the deliveries of every earlier fetch of (kind, columnId) stale.
    quint64 nextFetchGeneration(int kind, int columnId = 0);
    // Replaces each instrument's records by bars; keys left without a bar are dropped.
    static void fetchDataQuoteToKLineData(BrowseFetchData& data);
    // The quotes of a trade date (seconds) for the instruments, visible ones first: the
    // date's ticks when it is not before the host's last trading day, else its stored
    // daily values. Blocks the calling thread; each market's records reach
    // slotFtchTickDataCallBack through the worker mailbox.
    void doFetchDataForTick(const InstrumentsByMarket& visible, const InstrumentsByMarket& others,
                            int date);

    // --- interval statistic and speed columns ------------------------------------------
    // "start,end,fetch setting,bar seconds,type,title"; adds (or refreshes the equal
    // column), sorts by it and starts its refresh.
    void addStageColumn(const QString& text);
    void updateStageColumn();
    void doUpdateStageData(int columnId);
    // Lays one delivery of bars (GUI thread).
    void onFetchStageData(const BrowseFetchData& data, int columnId);
    void addSpeedColumn(ColumnInfo column);
    void setSpeedValue(const QMap<QString, double>& values);
    int speedColumn() const;
    void moveWeightAndZhangfu();

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

public Q_SLOTS:
    void slotFetchDatas(const TC::BrowseFetchData& data, int kind, int columnId);
    void slotFtchTickDataCallBack(const TC::BrowseFetchData& data);
    void slotWholeHistoryQuoteBack();
    void slotBrowserRefreshTimeOut();
    // Folds the quote model's queued deliveries into the pending snapshots between refresh
    // ticks, so a tick never walks a whole interval of deliveries; it writes no row.
    void slotDrainQueued();
    void slotWheelEvent(int delta);
    void slotDragScollBar();
    void slotOptionSettingChange();
    void slotRemoveHeader();
    void slotQuickOrderBuy();
    void slotQuickOrderSell();
    void slotRemoveStockFromSector();
    void slotSelectCustomIndex();
    void slotDelSelectCustomIndex();
    void slotUpdateAllCustomIndex();
    void slotEditIndex();
    void slotExportIndex();
    void slotVariableRefresh();
    void slotFormulaRefresh();
    void slotSetAutoRefreshTimeParam();
    void slotSetColumnAutoRefresh();
    void slotAutoRefreshIndex();
    void slotSetIndexValueColor();
    void slotReInitIndustry();
    void slotCalcStatData();
    void slotUpdateStatData();
    void slotSendNetBuyingChange();
    void slotSendTotalBuySellChange();
    void slotAddExtendData();
    void slotAddCustomField();
    void slotImportExternalCustomTpl();
    void slotExportExternalCustomTpl();

Q_SIGNALS:
    // Emitted after each refresh tick that repainted (for status bars and tests).
    void sigRefreshed();
    // A batch of an indicator column laid its last result (the column's id).
    void sigIndicatorBatchDone(int columnId);
    // New live last values arrived (lastIndexData()).
    void sigLastIndexData();
    void sigFetchDatas(const TC::BrowseFetchData& data, int kind, int columnId);
    void sigFetchTickDatas(const TC::BrowseFetchData& data);
    // A stage column's refresh laid its last delivery (for status bars and tests).
    void sigStageDataDone(int columnId);

protected:
    // For tables that extend the state with a private class derived from
    // CBrowseWidgetPrivate; the widget takes ownership of dd.
    CBrowseWidget(CBrowseWidgetPrivate& dd, QWidget* parent, bool concise, eBrowseType browseType,
                  int tableId);

    const std::unique_ptr<CBrowseWidgetPrivate> d;

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

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
    // persistence: the indicator and user-defined columns of a string; fromLayout restores
    // them with the column ids the table configuration names
    void restoreParamColumns(const JsonObject& param, bool fromLayout);
    void applyTableStyle();
    void rebuildQuoteColumnPlan();
    void formulaMarketQuoteBackExecute(const QString& market, const QVector<QString>& codes,
                                       const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                       bool repaint);
    void applyLinkedQuote(const quoter::QuoterAllData& quote, const QString& market,
                          const QString& code);
    void writeRowQuote(HpfBrowserData& row, const quoter::QuoterAllData& quote,
                       const QString& market, bool shSz);
    // Writes a snapshot into the instrument's rows; false when it has none.
    bool writeInstrumentQuote(const QString& market, const QString& code,
                              const quoter::QuoterAllData& quote, bool shSz);
    // Writes the pending pushed snapshots into the rows (the refresh tick).
    void applyPendingQuotes();
    void restartRefreshTimer(int interval);
    int colourIndexOf(double difference) const;
    void refreshTable();
    void sendEvent3255();
    void appendExtraColumns();
    QString numberFontKey() const;
    QString textFontKey() const;
    ColumnInfo* findColumn(int column);
    const ColumnInfo* findColumn(int column) const;

    // indicator batches
    enum class BatchStart { Started, Empty, NoTarget };
    BatchStart requestIndex();
    void stopIndicatorBatch();
    void layIndicatorResult(quint64 seq, int index, const se::RPCFormulaMetaResultPtr& meta,
                            const se::RPCFormulaResultPtr& result);
    void finishIndicatorWorker(quint64 seq);
    void drainIndicatorInbox();
    void completeIndicatorBatch();
    void slotIndicatorPaint();
    // Drops the head when none of its columns is listed any more, then starts the queue.
    void reviewQueueHead();
    int queuedIndexOf(const ColumnInfo& column) const;
    void requestIDcallBack(quint64 seq, long long id);

    // cache fetches, past trading days, interval statistics
    void initFetch();
    // Deliveries of fetch workers wait in a GUI-thread queue and are laid in slices of a
    // few milliseconds, so the event loop gets its turn between them.
    void queueFetchJob(std::function<void()> job);
    void drainFetchJobs();
    // GUI-thread handler of fetch kind 2 (the interval refresh, CBrowseWidget_external.cpp).
    void fetchDataForStatistic(const BrowseFetchData& data);
    std::function<void(BrowseFetchData&)> tickDelivery(quint64 generation);
    void deliverTickData(quint64 generation, BrowseFetchData& data);
    // Worker-thread body of one stage request: fetches, converts, posts the delivery.
    static void doFetchStageData(CBrowseWidget* self, const CWorkerMailboxPtr& mailbox,
                                 const se::RPCFetchCacheDataParam& param, int columnId,
                                 quint64 generation, int request);
    void deliverStageData(int columnId, quint64 generation, int request,
                          const BrowseFetchData& data, bool last);
    void finishStageRequest(int columnId, quint64 generation, int request);
    void countStageProgress(int columnId, int answered);

    // user-defined fields
    void forgetUserDefinedColumn(int columnId);
    void clearUserDefinedColumns();
    void fillUserDefinedValues();
    bool commitFieldEdit(int columnId, const QString& text, const QString& rowKey);
    void showStoredField(int columnId, const QString& rowKey);

    // external data and the interval refresh
    bool startCacheFetch(const se::RPCFetchCacheDataParam& param, int kind);
    void finishStatistic();
};

} // namespace TC

Q_DECLARE_METATYPE(TC::BrowseFetchData)
