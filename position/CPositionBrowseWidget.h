#pragma once
// The position list: a quote table whose rows are the positions of chosen trading
// accounts, with eighteen position columns beside the live quotes. Two statistics modes:
// one row per position of an account ("持仓统计"), or one row per instrument summed over
// the accounts ("代码统计"). Position pushes arrive on the trading thread, wait in a
// shared cache and are applied on the GUI thread every three seconds.

#include "browse/CBrowseWidget.h"

#include <QSet>
#include <QString>

#include <memory>

namespace ttservice {
struct CPositionStatics;
using CPositionStaticsPtr = std::shared_ptr<const CPositionStatics>;
} // namespace ttservice

namespace XP {
class IBaseHpfTableData;
typedef boost::shared_ptr<IBaseHpfTableData> IBaseHpfTableDataPtr;
class CComboBox;
class CRadioButtonGroup;
} // namespace XP

namespace TC {

class CPositionBrowseWidgetPrivate;
class CPositionBrowserData;
class CSetParamDialog;

class CPositionBrowseWidget : public CBrowseWidget {
    Q_OBJECT
public:
    enum EStatType { StatPosition = 0, StatCode = 1 };
    // position fields: the columns' quote ids
    enum EPositionField {
        Field_Account = 46,
        Field_Cost = 47,
        Field_CostPrice = 48,
        Field_Volume = 49,
        Field_Fee = 50,
        Field_Frozen = 51,
        Field_CanUse = 52,
        Field_ProfitRate = 53,
        Field_BuyVolume = 54,
        Field_SellVolume = 55,
        Field_NetBuy = 56,
        Field_AvgBuy = 57,
        Field_AvgSell = 58,
        Field_AvgRatio = 59,
        Field_MarketValue = 60,
        Field_YesterdayVolume = 61,
        Field_BuyValue = 62,
        Field_SellValue = 63,
        Field_First = Field_Account,
        Field_Last = Field_SellValue
    };
    enum EAccountOperation { Account_Add = 0, Account_Remove = 1 };

    explicit CPositionBrowseWidget(QWidget* parent = nullptr);
    ~CPositionBrowseWidget() override;

    // Chooses what is shown: the position kind of the sector and a set of account ids.
    void setSectorName(const QString& name, const QSet<QString>& accounts, bool add, bool reload);
    using CBrowseWidget::setSectorName;
    void loadAccounts();
    // Loads one account's positions (by account key); false when it loads nothing.
    bool loadAccount(const QString& accountKey);
    void removeAccount(const QString& accountId);
    // Drops every row, position record, pending push and subscription.
    void clear();
    // The host opened (Account_Add) or closed (Account_Remove) an account.
    void operationAccount(int operation, const QString& accountKey);
    // The key of the first unfiltered account of the user's list with that id.
    QString getAccountKey(const QString& accountId) const;

    // Titles of the eighteen position columns, in field order.
    static QStringList positionColumnTitles();
    // Recomputes the linkage columns of every row.
    void updatePositionDatas();
    // Rebuilds the code-statistics rows of these stock keys from the gathered records.
    void updateShowByStatType(const QSet<QString>& keys);

    void setToolBarVisible(bool visible);
    void themeChanged() override;
    void updateToolBarProductGroup();
    void showHeaderMenu(int column);

    // --- overrides of the quote table ---------------------------------------------------
    // The quote table's restore; then a saved line's statistics setting goes to the column
    // of its title (position columns) or to the column equal to it, never by saved id.
    void setParam(const QString& param, bool load) override;
    void resetTableColumn() override;
    void setStockList(const InstrumentList& list, bool freshOrder = false) override;
    void setStock(const QString& key) override;
    QList<QString> getStockList() override;
    void resetSelectStock() override;
    QMultiMap<QString, QString> getAccountList() override;
    QList<QString> getNoRepetionAccountList() override;
    QString getApplyFormulaAccount() override;
    QString getPositionAccount(const HpfBrowserDataPtr& row) override;
    QString getPositionAccount(int row) override;
    void updatePositionDataByQuote(const HpfBrowserDataPtr& row) override;
    bool isPositionSector() override;
    void getBrowserDataByStockCode(const std::string& key, std::vector<HpfBrowserDataPtr>& out,
                                   const QString& account) override;
    void getRowIndexByStockCode(const QString& key, std::vector<int>& out) override;
    QList<HpfBrowserDataPtr> getDataLastByCode(const QString& market, const QString& code) override;
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

    // --- state, for the view and tests ---------------------------------------------------
    int statType() const;
    QSet<QString> accounts() const;
    // table column id of a position field, -1 when absent
    int fieldColumn(int field) const;
    // subscriptions this widget holds with the trading service
    int subscriptionCount() const;
    // pushes taken in by the trading-thread callback since construction
    quint64 positionPushCount() const;
    // times a pending push was written into a row
    quint64 positionApplyCount() const;
    XP::CComboBox* productCombo() const;
    XP::CRadioButtonGroup* statTypeGroup() const;
    QMenu* positionHeaderMenu() const;
    // created on first use of "统计设置"; null before
    CSetParamDialog* setParamDialog() const;

public Q_SLOTS:
    // Applies the pushes that arrived since the last call (every 3000 ms).
    void slotTimeout();
    void slotPositionReInited();
    // "统计设置": edits the statistics setting of the last header column.
    void slotSetParam();

private:
    CPositionBrowseWidgetPrivate* pd() const;
    void createToolBar();
    void buildPositionColumns();
    void unsubscribeAll();
    // Unsubscribes and drops every row and the state behind them; the account set stays.
    void dropRows();
    int accountTypeOfKind(const QString& kind) const;
    QString positionKind(const QString& name) const;
    void finishLoad(bool changed);
    bool loadAccountInto(const QString& accountKey, std::vector<XP::IBaseHpfTableDataPtr>& rows);
    void applyAccountColumnType();
    void applyStatSetting(const ColumnInfo& info);
    void restoreColumnLines(const QString& customs);
    void indexPositionRow(const boost::shared_ptr<CPositionBrowserData>& row);
    boost::shared_ptr<CPositionBrowserData>
    getPositionData(const ttservice::CPositionStaticsPtr& record);
    void writeRecord(CPositionBrowserData& row, const ttservice::CPositionStatics& record);
    void updateLinkageData(CPositionBrowserData& row);
    void tryUpdatePositionData(const QString& stockKey);
    void removePositionRow(const QString& rowKey);
    // Keeps the newest record of a position; false for a record that shows nothing.
    bool storeRecord(const ttservice::CPositionStaticsPtr& record);
    void doUpdateNormalPostionByCache();
    void doUpdateCodePostionByCache();
    void writeMarketValue(HpfBrowserData& row);
    void setFieldValue(HpfBrowserData& row, int field, double value);
    void refreshFieldSlots();
};

} // namespace TC
