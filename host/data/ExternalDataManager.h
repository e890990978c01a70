#pragma once
// External data: a catalogue tree of data sets, each a list of coded series.
// Catalogue type 0 is a folder, 1 a data set, 2 a read-only set (never a move target).

#include "host/data/ExternalDataInfo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace TC {

class CExternalCatalog final {
public:
    CExternalCatalog(const QString& name, int type, CExternalCatalog* parent);
    ~CExternalCatalog();
    CExternalCatalog(const CExternalCatalog&) = delete;
    CExternalCatalog& operator=(const CExternalCatalog&) = delete;
    const QString& getName() const { return m_name; }
    int getType() const { return m_type; }
    CExternalCatalog* getParent() const { return m_parent; }
    const QList<CExternalCatalog*>& getChildren() const { return m_children; }

private:
    friend class CExternalDataManager;
    QString m_name;
    int m_type;
    CExternalCatalog* m_parent;
    QList<CExternalCatalog*> m_children; // owned
};

class CExternalDataManager final : public QObject {
    Q_OBJECT
public:
    // sigDataChanged / sigCatalogChange kinds
    enum EChange { eAdded = 1, eRemoved = 2, eMoved = 3, eRenamed = 4 };

    static CExternalDataManager* instance();

    CExternalCatalog* getRootCatalog();
    bool isExist(const QString& dataSetName);
    // Entries of a set; the pointers stay valid for the life of the process.
    QList<CExternalDataInfo*> getCatalogDataList(const QString& dataSetName);
    QList<CExternalDataInfoPtr> getDataList(const QString& dataSetName);
    // Values of a code as (time ms, value), ascending; empty when unknown.
    QVector<QPair<qint64, double>> getSeries(const QString& code);

    // Moves codes from whichever set holds them to target; count moved.
    int moveData(const QString& target, const QStringList& codes);
    // Removes code from the set; flag is reserved (0). false when absent.
    bool removeData(const QString& code, const QString& dataSetName, int flag);
    bool addDataSet(const QString& name, const QString& parentCatalog, int type = 1);
    bool addData(const QString& dataSetName, const QString& code, const QString& name,
                 const QVector<QPair<qint64, double>>& series, int periodSec = 86400);
    // Rebuilds the demo catalogue (tests start from a known state): fifteen series of
    // rates, prices, money and factors, each with its own period (day, month or quarter).
    void reset();

Q_SIGNALS:
    void sigDataChanged(int type, QString dataSetName);
    void sigCatalogChange(int type, QString name, QString other);

private:
    CExternalDataManager();
    void addDemoSeries();
    ~CExternalDataManager() override;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace TC
