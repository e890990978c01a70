#pragma once
// A node of the host's sector tree. Nodes are owned by CSectorManager and live until
// the tree is rebuilt; callers keep raw pointers only while the tree stands.

#include <QList>
#include <QString>
#include <QStringList>

namespace TC {

// Sector types. 1, 2 and 3 are the numbers the browse view tests for menus.
enum ESectorType {
    eSectorSystem = 0,       // market board filled by the host
    eSectorUserGroup = 1,    // user folder holding user sectors
    eSectorUser = 2,         // editable user list ("我的" children)
    eSectorCustomIndex = 3,  // user-defined index list
    eSectorIndustry = 4,     // industry classification member (申万一级 ...)
    eSectorIndexMembers = 5, // constituents of an exchange index, with weights
    eSectorPosition = 6,     // holdings of trading accounts
    eSectorExternal = 7,     // external data sets
    eSectorTBoard = 8,       // option T-quote underlyings
    eSectorHKIndustry = 16,  // HK industry classification
};

// Display name of a sector type; 16 gives the HK classification root.
QString getSectorTypeName(int type);

class CSectorManager;

class CSectorDetail final {
public:
    CSectorDetail(const QString& name, int type, CSectorDetail* parent = nullptr);
    ~CSectorDetail();
    CSectorDetail(const CSectorDetail&) = delete;
    CSectorDetail& operator=(const CSectorDetail&) = delete;

    const QString& getName() const { return m_qsName; }
    int getType() const { return m_nType; }
    int sectorType() const { return m_nType; }
    bool isEditable() const { return m_bEditable; }
    bool isSystem() const { return m_bSystem; }
    CSectorDetail* getParent() const { return m_pParent; }
    const QList<CSectorDetail*>& getChildren() const { return m_children; }
    bool hasChildren() const { return !m_children.isEmpty(); }
    CSectorDetail* getChild(const QString& name) const;
    // Index key (code.market) for index-constituent sectors, empty otherwise.
    const QString& getCode() const { return m_qsCode; }
    // Industry classification key ("SW1", "HKSW2") for industry sectors; the product
    // group for position sub-sectors.
    const QString& getClassKey() const { return m_qsClassKey; }
    // Stock keys of a leaf, in list order.
    const QStringList& getStockKeys() const { return m_stockKeys; }

private:
    friend class CSectorManager;
    QString m_qsName;
    int m_nType;
    bool m_bEditable = false;
    bool m_bSystem = true;
    CSectorDetail* m_pParent;
    QList<CSectorDetail*> m_children; // owned
    QString m_qsCode;
    QString m_qsClassKey;
    QStringList m_stockKeys;
};

} // namespace TC
