#pragma once
// The browse table's state, kept out of the public header so that the widget's users do
// not compile it and a position table can extend it with a private class of its own.

#include "browse/BrowseTypes.h"
#include "browse/CBrowseWidget.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaTypes.h"
#include "host/data/IndexValueParam.h"
#include "host/data/InstrumentDetail.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <boost/function.hpp>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QColor;
class QMenu;
class QTimer;

namespace XP {
class CBaseTableColumnLineeditDelegate;
class CWidgetList;
} // namespace XP

class QThread;

namespace TC {

class CBrowserFetchDataProgressDialog;
class CHpfBrowserDataModel;
class CHpfBrowserTable;
class CIndexColorParameterDialog;
class CSetAutoRefreshDialog;

// The indicator batch in progress: the queue head's formula over the rows, stamped with a
// sequence number. Results of any other number belong to a batch that was dropped or
// restarted and are not laid.
struct CIndicatorBatch {
    quint64 seq = 0;           // 0: none running
    ColumnInfo head;           // the queued entry the batch was built from
    std::vector<int> targets;  // column ids that receive the values
    std::vector<QString> keys; // per request: the row key
    std::vector<std::string> stdKeys;
    std::vector<QString> accounts;      // per request, position sectors only
    std::vector<QSet<QString>> matched; // per target: keys already in its matchedKeys
    int received = 0;                   // results counted
    bool conditionCleared = false;
    se::StopFlag stop;
};

// Results of indicator workers waiting for the GUI thread. A worker appends and posts one
// drain through the mailbox when the inbox was empty; the drain lays results in slices of
// a few milliseconds, so a fast worker neither floods the event queue nor blocks the GUI.
struct CIndicatorInbox {
    struct Item {
        quint64 seq;
        int index; // -1: the worker is done
        se::RPCFormulaMetaResultPtr meta;
        se::RPCFormulaResultPtr result;
    };
    std::mutex mutex;
    std::deque<Item> items;
    bool drainPosted = false;
};

// The newest pushed snapshot of each instrument, waiting for the refresh tick. Host push
// threads and the GUI thread's drain write it, the tick empties it. An instrument gets its
// slot on its first push and keeps it, so a later push only replaces a shared pointer: the
// store never holds more than one snapshot per instrument, however fast the host pushes.
class CPendingQuotes {
public:
    struct Entry {
        QString market;
        QString code;
        quoter::QuoterAllDataPtr quote;
    };

    // codes and quotes are parallel; null snapshots are skipped.
    void put(const std::string& market, const QVector<QString>& codes,
             const std::vector<quoter::QuoterAllDataPtr>& quotes);
    // Moves the pending snapshots into out (emptied first) in first-push order.
    void take(std::vector<Entry>& out);
    // Drops the pending snapshots and the slots.
    void reset();
    int pendingCount() const;

private:
    struct Slot {
        QString market;
        QString code;
        quoter::QuoterAllDataPtr quote;
    };
    struct Market {
        QString name;
        QHash<QString, int> slotOfCode;
    };

    mutable std::mutex m_mutex;
    std::unordered_map<std::string, Market> m_markets;
    std::vector<Slot> m_slots;
    std::vector<int> m_dirty; // slots holding a snapshot
};

// One refresh of an interval statistic column. Progress counts the visible rows only: each
// visible key counts once, when its bars are laid or when its request ends without them.
struct CStageRun {
    quint64 generation = 0;
    std::vector<QStringList> requestKeys; // per request: the visible keys it asked for
    QSet<QString> pendingVisible;         // visible keys not yet counted
    int openRequests = 0;                 // requests whose delivery is still to come
};

// Starts fn on a detached worker thread with that name (at most 15 characters). False,
// logged at ERROR, when the system refuses a thread; nothing escapes.
bool startBrowseWorker(const char* name, std::function<void()> fn);
// Tests: the next n starts fail as if the system had no thread to give.
void failBrowseWorkerStartsForTest(int n);

class CBrowseWidget;
class CBrowseWidgetPrivate;

// The quote model's client on the widget's behalf. A delivery on a host thread only fills
// the pending store and never calls a virtual of the widget, which may be in its
// destructor on the GUI thread; on the widget's own thread the widget's virtual is called.
class CBrowseQuoteClient final : public IWholeQuoteClient {
public:
    CBrowseQuoteClient(CBrowseWidget* widget, CBrowseWidgetPrivate* d);
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                              bool last) override;

private:
    CBrowseWidget* m_pWidget;
    CBrowseWidgetPrivate* m_pD;
    QThread* m_pOwnerThread;
};

class CBrowseWidgetPrivate {
public:
    CBrowseWidgetPrivate() = default;
    virtual ~CBrowseWidgetPrivate();
    CBrowseWidgetPrivate(const CBrowseWidgetPrivate&) = delete;
    CBrowseWidgetPrivate& operator=(const CBrowseWidgetPrivate&) = delete;

    // construction parameters
    bool m_bConcise = false;
    eBrowseType m_nBrowseType = BrowseType_Default;
    int m_nTableId = 88;

    XP::CWidgetList* m_pWidgetList = nullptr;
    CHpfBrowserTable* m_pTable = nullptr;
    CHpfBrowserDataModel* m_pModel = nullptr;
    CWholeQuoteModelPtr m_pWholeQuoteModel;
    CWorkerMailboxPtr m_mailbox;

    QTimer* m_pAutoRefreshTimer = nullptr;
    QTimer* m_pRefreshTimer = nullptr;
    QTimer* m_pStatTimer = nullptr;
    QTimer* m_pDrainTimer = nullptr;
    // one pending statistics refresh per table: it dies with the table, and a burst of
    // requests runs the refresh once
    QTimer* m_pStatSoonTimer = nullptr;
    void scheduleStatUpdate();
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
    std::atomic<int> m_nBrowseStatus{BrowseStatus_Live}; // read by host push threads
    boost::function<int()> m_getTradeDate;
    std::atomic<quint64> m_nPushCount{0}; // counted on host threads too
    quint64 m_nRefreshCount = 0;

    // columns
    QList<ColumnInfo> m_columnList;       // table order; entry n has column id n + 3
    QList<ColumnInfo> m_extraColumns;     // quote ids 37..74
    QList<ColumnInfo> m_indicatorColumns; // formulaName not "QUOTER"
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

    // indicator columns (see CBrowseWidget_indicators.cpp)
    QList<ColumnInfo> m_customIndexColumns;   // the indicator columns the user added
    QHash<QString, QString> m_requestedPairs; // row key + '\x1f' + formula -> request id
    CBrowseWidget::CustomIndexValues m_customIndexValues;
    int m_nValueFillHolds = 0;        // open CBrowseWidget::ValueFillHold scopes
    bool m_bValueFillPending = false; // a fill was asked for under a hold
    CIndicatorBatch m_batch;
    quint64 m_nBatchSeq = 0;
    std::shared_ptr<std::mutex> m_requestMutex = std::make_shared<std::mutex>();
    std::shared_ptr<CIndicatorInbox> m_inbox = std::make_shared<CIndicatorInbox>();
    std::vector<CIndicatorInbox::Item> m_inboxSlice; // reused by every drain
    QTimer* m_pIndicatorPaintTimer = nullptr;        // coalesces repaints and header progress
    quint64 m_nLastIndexSeq = 0;                     // requestLastIndex calls and cancels
    std::map<std::string, quoter::QuoterBasePtr> m_lastIndexData;
    std::vector<HpfBrowserDataPtr> m_indicatorRows; // reused by every result laid

    // cache fetches and past trading days (see CBrowseWidget_fetch.cpp)
    QHash<qint64, quint64> m_fetchGenerations;     // (kind << 32 | column id) -> generation
    quint64 m_nTickGeneration = 0;                 // a newer quote request drops older ticks
    bool m_bLayingFetchedTicks = false;            // the tick slot lays fetched records
    bool m_bFetchedQuoteDate = false;              // the quotes being laid are of the trade date
    std::deque<std::function<void()>> m_fetchJobs; // deliveries waiting to be laid
    bool m_bFetchDrainPosted = false;
    QVector<QString> m_fetchCodes; // scratch of the tick slot, per market
    std::vector<quoter::QuoterAllDataPtr> m_fetchQuotes;
    // interval statistic and speed columns (see CBrowseWidget_stage.cpp)
    QHash<int, CStageRun> m_stageRuns; // by column id
    quint64 m_nStageSeq = 0;

    // refresh (see CBrowseWidget_refresh.cpp)
    int m_nAutoRefreshTicks = 0;
    CSetAutoRefreshDialog* m_pAutoRefreshDialog = nullptr; // child of the widget

    // persistence (see CBrowseWidget_param.cpp): side files restored from a string, deleted
    // once the next full save has written their replacements
    QStringList m_restoredValueFiles;
    QStringList m_restoredFieldFiles;
    // The side files this table saves to, each claimed for the table's lifetime: a save
    // rewrites them in place, so saves do not pile up files and every string that named them
    // finds them. Empty until a save draws one or a restore adopts an unclaimed one.
    struct OwnParamFile {
        QString path;        // as strings name it
        QString canonical;   // the claim's key
        bool unread = false; // taken over from a string restored without its files
        OwnParamFile() = default;
        OwnParamFile(const OwnParamFile&) = delete;
        OwnParamFile& operator=(const OwnParamFile&) = delete;
        ~OwnParamFile(); // releases the claim
    };
    OwnParamFile m_ownValueFile;
    OwnParamFile m_ownFieldFile;

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
    CPendingQuotes m_pending;
    std::unique_ptr<CBrowseQuoteClient> m_pQuoteClient;

    // Any thread: a delivery replaces its instruments' pending snapshots.
    void acceptPushes(const dorn::PushQuoteParam& param, const QVector<QString>& codes,
                      const std::vector<quoter::QuoterAllDataPtr>& quotes);
    std::vector<CPendingQuotes::Entry> m_pendingScratch; // reused by every refresh tick
    int64_t m_nValidSecond = -1; // the last snapshot second checked for validity
    QString m_qsValidMarket;
    bool m_bValidSecond = false;
    bool m_bAHSector = false;
    bool m_bConnectSector = false;
    bool m_bCBSector = false;

    // rows by market and code, and by the linked instrument's market and code
    QHash<QString, QHash<QString, HpfBrowserDataPtr>> m_rowsByMarket;
    QHash<QString, QHash<QString, QVector<HpfBrowserDataPtr>>> m_linkedRows;
    QList<HpfBrowserDataPtr> m_lastByCode; // getDataLastByCode's answer, reused

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

    // user-defined field columns (see CBrowseWidget_userfields.cpp)
    QList<ColumnInfo> m_userDefinedColumns;      // editable number columns, table order
    QMap<QString, QStringList> m_sectorFieldMap; // sector name -> field names shown there
    QHash<int, XP::CBaseTableColumnLineeditDelegate*> m_fieldDelegates; // by column id

    // external rows and the interval refresh (see CBrowseWidget_external.cpp)
    QHash<QString, int> m_externalPeriods;         // external row key -> period in seconds
    QMap<qint64, QStringList> m_externalFetchPlan; // the last requestExternal: period ms -> codes
    int m_nCacheFetches = 0;
    struct StatisticRange {
        long long start = 0;
        long long end = 0;
        int setting = 0;
        long long period = 0;
    } m_statRange;
    int m_nStatRequests = 0;
    int m_nStatAnswers = 0;
    bool m_bStatCancelled = false; // read and written on the GUI thread only
    CBrowserFetchDataProgressDialog* m_pProgressDialog = nullptr; // child of the widget
};

} // namespace TC
