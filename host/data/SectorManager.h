#pragma once
// The host's sector tree: market boards, index constituents, industries, futures and
// option boards, position sectors and the user's own lists. Names are unique and
// identify sectors. Members are stock keys (code.market); lookups accept a bare
// code too when it names exactly one instrument.

#include "host/data/InstrumentDetail.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace TC {

class CSectorDetail;

class CSectorManager final : public QObject {
    Q_OBJECT
public:
    // sigSectorChanged(kind, name, other) kinds: a user sector added (other: its parent
    // folder, empty for "我的"), removed, renamed (name: the old name, other: the new
    // one), or its instruments changed.
    enum EChange { eSectorAdded = 0, eSectorRemoved = 1, eSectorRenamed = 2, eStocksChanged = 3 };

    static CSectorManager* instance();

    CSectorDetail* getRoot();
    CSectorDetail* getSector(const QString& name);
    // The root-level sectors shown on the sector bar, in order.
    QList<CSectorDetail*> getTopSectors();
    // Instruments of a sector; for a node with children, those of its leaves in order.
    // Unknown names give an empty list.
    QList<ttservice::CInstrumentDetailPtr> getSectorStockList(const QString& name);
    // Names of the system leaf sectors holding an instrument (key or code), boards first.
    QStringList getStockSectorNames(const QString& keyOrCode);
    // The first user sector ("自选股"), or null.
    CSectorDetail* getUserSector();
    QList<CSectorDetail*> getUserSectors();

    // Industry sector of an instrument under a classification: classKey "SW1" searches
    // "申万一级行业板块", "HKSW2" the HK classification (getSectorTypeName(16)).
    // rootName, when given, overrides the root searched. Null when none.
    CSectorDetail* getSectorByIndustry(const QString& keyOrCode, const QString& classKey,
                                       const QString& rootName = QString());
    // Industry name (申万一级) of an instrument, empty when none.
    QString getIndustryName(const QString& keyOrCode);

    // name is parent, or any ancestor of sector "name".
    bool isParentSector(const QString& name, const QString& parent);
    // a equals b, or one is the parent or a child of the other.
    bool checkDirectRelationship(const QString& a, const QString& b);
    bool isPositionSector(const QString& name);
    // Account type of a position sector by its name and ancestry: "股票持仓" 2, "期货持仓" 1,
    // "融资融券持仓" 3, "股票期权持仓" 6, "深港通持仓" 11, "沪港通持仓" 7; anything else 2.
    int getPositionAccountType(const QString& name);
    // The product group a position sub-sector stands for ("稳健一号" for "股票持仓-稳健一号"),
    // empty for a whole kind or another sector; with the account type it names the accounts
    // (ttservice::TraderCenter::getAccountKeysByProductGroup).
    QString getPositionProductGroup(const QString& name);
    bool isParentTsector(const QString& name);         // "T型报价板" or under it
    bool isConvertibleBondSector(const QString& name); // "可转债", "未上市新债" and children
    bool isFutureSector(const QString& name);          // under "内盘期货板块"
    bool isForeignFutureSector(const QString& name);   // under "外盘期货板块"
    bool isOptionSector(const QString& name);          // under "期权板块"
    bool isIndustrySector(const QString& name);
    bool isUserSector(const QString& name);        // type 2
    bool isCustomIndexSector(const QString& name); // type 3
    bool isExternalSector(const QString& name);    // under "外部数据"
    bool isAHSector(const QString& name);          // "A+H"
    bool isConnectSector(const QString& name);     // connect boards

    // User sectors (type 2 and 3). Keys or bare codes; duplicates and unknown codes skipped.
    // Each successful change emits sigSectorChanged(eStocksChanged, name, QString()).
    // Linear in the sector's size plus the list's.
    bool addStockToSector(const QString& name, const QString& keyOrCode);
    int addStockListToSector(const QString& name, const QStringList& keysOrCodes);
    int removeStockListFromSector(const QString& name, const QStringList& keysOrCodes);
    // Empties a user sector; notify=false keeps quiet (batch refills).
    bool cleanStockFromSector(const QString& name, bool notify);
    CSectorDetail* addUserSector(const QString& name, int type = 2,
                                 const QString& parent = QString());
    bool removeUserSector(const QString& name);
    bool renameUserSector(const QString& name, const QString& newName);
    // Emits sigUpdateSelfSelect(kind, codes): 0 added, 1 removed.
    void updateSelfSelect(int kind, const QStringList& codes);
    // Emits sigPositionReInited (the trading side calls it when accounts reload).
    void notifyPositionReInited();

    // User sectors to/from the data folder ("sectors.json"); false on failure, and a
    // bad file leaves the lists unchanged.
    bool saveUserSectors();
    bool loadUserSectors();

    // Drops the tree; the next call rebuilds it from the current universe.
    void reset();
    // Emits sigReInitIndustry after industries change (tests, universe reset).
    void reInitIndustry();

Q_SIGNALS:
    void sigSectorChanged(int type, QString name, QString other);
    void sigUpdateSelfSelect(int type, QStringList codes);
    void sigReInitIndustry();
    void sigSectorInited();
    void sigPositionReInited();

private:
    CSectorManager();
    ~CSectorManager() override;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace TC
