#pragma once
// The quote-list panel a terminal places wherever a list of instruments is wanted: the
// sector bar along the bottom, a search row and a tool row above, and the table that
// shows the current sector (the quote table, the position table or the option board's
// list of underlyings). The view keeps each table kind's layout per sector while the
// user moves between sectors, and hands its whole layout to the host as one string.

#include "host/widgets/CIndexPanelBaseWidget.h"

#include "browse/BrowseTypes.h"
#include "host/data/StockInfo.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <map>
#include <memory>

class QAction;
class QMenu;
class QTimer;
class QKeyEvent;

namespace ttservice {
struct CInstrumentDetail;
}

namespace XP {
class CMenu;
class CPushButtonGroup;
class CSearchTextLineEdit;
class CSplitButtonContainer;
class CSimpleTextWidget;
class CWidgetList;
class CCheckBox;
} // namespace XP

namespace TC {

class CBasketSetting;
class CBrowseWidget;
class CCombinPushButton;
class CCustomIndexSetDialog;
class CExternalCatalog;
struct CExternalDataInfo;
class CIndexMultiView;
class CPositionBrowseWidget;
class CPriceTBrowseWidget;
class CPushButtonTabControl;
class CSectorDetail;
class CSelectIndicatorsDialog;

class CIndexBrowseView : public CIndexPanelBaseWidget {
    Q_OBJECT
public:
    using InstrumentPtr = std::shared_ptr<ttservice::CInstrumentDetail>;
    using InstrumentList = QList<InstrumentPtr>;

    // Table kinds: the slot of the per-kind layout maps.
    enum EBrowserKind { KindMain = 0, KindPosition = 1, KindPriceT = 2 };
    // Ids of the futures filter check boxes (event 67 with ids 6 to 9).
    enum EFilterBox {
        FilterOptionArbitrage = 6, // "显示期权套利品种"
        FilterNightOnly = 7,       // "仅显示夜市品种"
        FilterContinuousOnly = 8,  // "仅显示连续合约"
        FilterMainOnly = 9,        // "仅显示主力合约"
    };
    enum { kFirstVarietyId = 121 };

    CIndexBrowseView(QWidget* parent, eBrowseType type);
    ~CIndexBrowseView() override;

    // --- panel ------------------------------------------------------------------------
    void request(bool force) override;
    void unrequest() override;
    void clear(bool all) override;
    QString getStock() override;
    void setCurrentTradeDateFunc(boost::function<int()> getter) override;
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

    // --- sectors ----------------------------------------------------------------------
    void setSector(const QString& name);
    void setSector(CSectorDetail* sector);
    void resetCurrentSector();
    QString getCurrentSector() const;
    CSectorDetail* currentSector() const { return m_pCurSector; }
    void setStock(const QString& code);
    void onSelectStock(const CStockInfo& info, ESmartKeyType type);
    void setStockListByIndex(const InstrumentList& list);
    // Applies the search text to a list (in place).
    void filterStockList(InstrumentList& list) const;
    // Instruments of a node's leaves, in tree order; duplicates stay.
    void getSectorStockList(InstrumentList& list, CSectorDetail* sector) const;
    // The table that shows a sector, and its kind.
    CBrowseWidget* getCurrentBrowser(CSectorDetail* sector, int* kind = nullptr) const;
    // Key under which a sector's table layout is kept: the account type for a position
    // sector, else the name.
    QString sectorKey(const QString& sectorName) const;
    static int positionAccountType(const QString& sectorName);

    // --- forwarders -------------------------------------------------------------------
    CBrowseWidget* getBrowseWidget() const { return m_pCurBrowser; }
    CBrowseWidget* mainBrowseWidget() const { return m_pBrowseWidget; }
    CBrowseWidget* subBrowseWidget() const { return m_pSubBrowseWidget; }
    CBrowseWidget* newBondBrowseWidget() const { return m_pNewBondBrowseWidget; }
    CPositionBrowseWidget* positionBrowseWidget() const { return m_pPositionBrowseWidget; }
    CPriceTBrowseWidget* priceTBrowseWidget() const { return m_pPriceTBrowseWidget; }
    CPushButtonTabControl* sectorTabControl() const { return m_pSectorTabControl; }
    XP::CSearchTextLineEdit* searchEdit() const { return m_pSearchEdit; }
    QTimer* searchTimer() const { return m_pSearchTimer; }
    XP::CWidgetList* topToolList() const { return m_pTopToolList; }
    XP::CWidgetList* varietyList() const { return m_pVarietyList; }
    XP::CPushButtonGroup* bondButtonGroup() const { return m_pBondButtonGroup; }
    XP::CWidgetList* subPanel() const { return m_pSubPanel; }
    XP::CSplitButtonContainer* splitContainer() const { return m_pSplitContainer; }
    CIndexMultiView* multiView() const { return m_pMultiView; }
    int currentBrowserKind() const { return m_nCurBrowserKind; }
    eBrowseType browseType() const { return m_eBrowseType; }
    bool lastShow() const { return m_bLastShow; }

    QList<QString> getStockList();
    QStringList getSelectStocks();
    int getStartIndex();
    QString getStartIndexStock();
    void sortByPreParam(int column, int order);
    void getPreSortParam(int& column, int& order);
    void sortByRate();
    void setSelectRow(int row);
    void setPanelFocus();
    void setHighLightStocks(const QMap<QString, int>& stocks);
    void setIsResetSelectStock(bool reset);
    void setSpeedValue(const QMap<QString, double>& values);
    void resetBrowserStatus();
    void updateExtendIndex();
    void addStageColumn(const QString& setting);
    void updateStageColumn();
    void addSpeedColumn();
    void setCurSelectCode(const QString& code);
    QString getAccountList();
    QString getNoRepetionAccountList();
    QString getApplyFormulaAccount();
    void loadAccounts();
    void operationAccount(int operation, const std::string& account);
    void updatePositionDatas();

    // --- menus and commands -----------------------------------------------------------
    void createAction(CBrowseWidget* table);
    void createPriceTAction();
    void changeAction();
    void updateAction();
    XP::CMenu* createSectorMenu(CSectorDetail* sector);
    void createSectorMenu(CSectorDetail* sector, CCombinPushButton* button, QMenu* group);
    void createBasketMenu();
    void updateAction4Basket();
    void addStockToBasket(CBasketSetting& setting, const QVector<QString>& codes);
    void removeStock();
    void resetMenuStyle(QMenu* menu);
    void resetCustomButtonMenuStyle();
    QMenu* addToSectorMenu() const { return m_pAddToSectorMenu; }
    QMenu* basketMenu() const { return m_pBasketMenu; }
    QMenu* externalMenu() const { return m_pExternalMenu; }
    CCustomIndexSetDialog* customIndexDialog() const { return m_pCustomIndexDialog; }
    // One of the view's kept actions by its text ("从板块中删除", ...), or null.
    QAction* viewAction(const QString& text) const;

    // --- futures, sector indices, external data ---------------------------------------
    void updateTopToolWidget(const QString& sectorName);
    void updateVarietyToolWidget(const InstrumentList& list, const QString& exchange);
    void findVarietyFillMap(const InstrumentList& list, const QString& exchange);
    void findSHVarietyFillMap(const InstrumentList& list, const QString& exchange);
    void fillContinuousContractAmount(const QString& exchange);
    void fillSHContinuousContractAmount(const QString& exchange);
    bool isContinuousContract(const InstrumentPtr& detail) const;
    // Check box of the tool row by id (EFilterBox), or null when not shown.
    XP::CCheckBox* filterBox(int id) const;
    const QMap<QString, QMap<QString, QString>>& varieties() const { return m_mapVarieties; }
    const QStringList& varietyOrder() const { return m_listVarietyOrder; }
    void setBKZSSector(const QString& code);
    void setExternal(const QString& name);
    void createExternalMenu(CExternalCatalog* catalogue, QMenu* menu);
    void createExternalBtnMenu(CExternalCatalog* catalogue, CCombinPushButton* button,
                               QMenu* group);
    void fillExternDataDetail(QList<CExternalDataInfo*>& list) const;
    void addCustomColumn(const QString& name);
    void updateCustomColumn(const QString& oldName, const QString& newName);

    // --- persistence and panes --------------------------------------------------------
    QString param(bool save);
    void setParam(const QString& param, bool keep);
    void load();
    void save();
    QString getBrowseWidgetParam();
    void setBrowseWidgetParam(const QString& param);
    void setBrowseWidgetVisiable(const QString& sector);
    void setPositionBrowseWidgetVisiable(const QString& sector, const QSet<QString>& accounts,
                                         bool add, bool reload);
    void setPositionSector(const QString& sector, const QSet<QString>& accounts, bool add,
                           bool reload);
    void setPositionColumnVisible(const QString& sector);
    bool isPositionSector(const QString& sector) const;
    bool isPriceTSector(const QString& sector) const;
    void createMultiView();
    void setButtonCtrlVisible(bool visible);
    void setToolBarVisible(bool visible);
    void setCreateNewWorkShow(bool show);
    void setStarrtSmartShow(bool show);
    void updateThemeStyle();
    // Stored layouts: per kind, per sector key.
    const std::map<int, std::map<QString, QString>>& sectorParams() const
    {
        return m_mapSectorParams;
    }

public Q_SLOTS:
    void slotContrastSector();
    void slotSectorChanged(int kind, QString sector, QString name);
    void slotAddStockToSector();
    void slotAddStockToBasket();
    void slotAddNewBasket();
    void slotUpdateBasket();
    void slotRemoveStockFromSector();
    void slotNewIndex();
    void slotEditIndex();
    void slotImpotIndex();
    void slotExportIndex();
    void slotAddCustomField();
    void slotSelectCustomIndex();
    void slotSelectCustomIndexFinish();
    void slotExportSectorStock();
    void slotSectorInited();
    void slotCreateNewWork();
    void slotFilterStockByCondition();
    void slotAddExtendData();
    void slotEarlyWarningRadar();
    void slotCreateBasket();
    void slotQuickOrderBuy();
    void slotQuickOrderSell();
    void slotUpdateAllCustomIndex();
    void slotDelSelectCustomIndex();
    void slotRemoveFromOAExternal();
    void slotImportExternalCustomTpl();
    void slotExportExternalCustomTpl();
    void slotMoveExternalData();
    void slotExternalChanged(int kind, QString name);
    void slotExternalCatalogChange(int kind, QString name, QString newName);
    void slotSearchDelayUse();
    void slotSynchroData();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // frame (CIndexBrowseView.cpp)
    void createUi();
    void updateSectorButtonControl();
    void storeLeavingState();
    void applyFuturesFilters(CSectorDetail* sector, InstrumentList& list, bool* wantVarieties);
    void requestCurrent();
    void onTableCommand(CBrowseWidget* table, int command);
    void closeSubPanel();
    void showNewBondTable();
    // menus (CIndexBrowseView_menus.cpp)
    void keepAction(QAction* action);
    // persistence (CIndexBrowseView_param.cpp)
    void storeParam(int kind, const QString& key, const QString& value);

    eBrowseType m_eBrowseType;
    CBrowseWidget* m_pBrowseWidget = nullptr;
    CPositionBrowseWidget* m_pPositionBrowseWidget = nullptr;
    CPriceTBrowseWidget* m_pPriceTBrowseWidget = nullptr;
    CBrowseWidget* m_pCurBrowser = nullptr;
    int m_nCurBrowserKind = KindMain;
    CSectorDetail* m_pCurSector = nullptr;
    std::map<int, std::map<QString, QString>> m_mapSectorParams;
    std::map<int, QString> m_mapCustomColumnParam;
    CPushButtonTabControl* m_pSectorTabControl = nullptr;
    XP::CSearchTextLineEdit* m_pSearchEdit = nullptr;
    QTimer* m_pSearchTimer = nullptr;
    XP::CWidgetList* m_pTopToolList = nullptr;
    XP::CWidgetList* m_pVarietyList = nullptr;
    XP::CPushButtonGroup* m_pVarietyGroup = nullptr;
    QMap<int, XP::CCheckBox*> m_filterBoxes;
    XP::CPushButtonGroup* m_pBondButtonGroup = nullptr;
    CBrowseWidget* m_pNewBondBrowseWidget = nullptr;
    XP::CWidgetList* m_pDragList = nullptr;
    XP::CSplitButtonContainer* m_pSplitContainer = nullptr;
    XP::CWidgetList* m_pSubPanel = nullptr;
    XP::CSimpleTextWidget* m_pSubTitle = nullptr;
    CBrowseWidget* m_pSubBrowseWidget = nullptr;
    bool m_bSubPanelPending = true;
    bool m_bLastShow = true;
    bool m_bSubRowActivated = false;
    CIndexMultiView* m_pMultiView = nullptr;
    bool m_bSmartKeyboard = false;
    bool m_bCreateNewWork = true;

    QMenu* m_pAddToSectorMenu = nullptr;
    QMenu* m_pBasketMenu = nullptr;
    QMenu* m_pExternalMenu = nullptr;
    CCustomIndexSetDialog* m_pCustomIndexDialog = nullptr;
    CSelectIndicatorsDialog* m_pSelectIndicatorsDialog = nullptr;
    QMap<QString, QList<QPointer<QAction>>> m_actions;

    QMap<QString, QMap<QString, QString>> m_mapVarieties;
    QStringList m_listVarietyOrder;

    // frame: the shown sector looked up again by name (null when it is gone), a pointer of
    // a table command matched against the view's own tables, the lower pane's grid
    CSectorDetail* liveCurrentSector();
    CBrowseWidget* ownTable(const void* p) const;
    void setMultiViewShown(bool shown);
    bool m_bSmartKeyboardBound = false;

    // futures bar, sector indices, external data (CIndexBrowseView_futures.cpp,
    // CIndexBrowseView_external.cpp)
    // Event 5 with ids 120 to 219: selects the variety's first contract in the current table.
    void jumpToVariety(const QString& name);
    // Creates the four filter boxes once, hidden (their state outlives sector switches).
    void ensureFilterBoxes();
    // Fetches the data set the main table shows again, when it shows one.
    void reloadExternalList();
    void showDataSet(CBrowseWidget* table, const QString& name);
    // The sector a chosen indicator column is computed for.
    QString conditionSectorName() const;
    // exchange -> variety -> key of its continuous contract (for the bar's order)
    QMap<QString, QMap<QString, QString>> m_mapVarietyContinuous;

    // menus: the menu tests set up the state without a current sector, which the host's
    // tree (it always holds "自选股") cannot produce
    friend class TstViewMenus;

    // persistence and panes: hides the bond buttons and the new-bond table (a sector of
    // another kind shows)
    void hideBondTables();
};

} // namespace TC
