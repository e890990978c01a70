#pragma once
// Custom (user-defined) indices: a code, a name, a price step, share counts and
// constituents with weights in percent numbers (1.23 for 1.23 %).

#include "host/data/InstrumentDetail.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace TC {

struct CCustomIndexStock {
    QString market;
    QString code;
    double weight = 0.0; // percent
};

struct CCustomIndexDetail {
    QString code;
    QString name;
    double priceStep = 0.01;
    double totalShares = 0.0;
    double floatShares = 0.0;
    double basePoint = 1000.0;
    std::vector<CCustomIndexStock> stocks;
};
using CCustomIndexDetailPtr = std::shared_ptr<CCustomIndexDetail>;

class CIndexManager final : public QObject {
    Q_OBJECT
public:
    static CIndexManager* instance();

    // Market of custom-index instruments; their stock key is code + ".CI".
    static QString market() { return QStringLiteral("CI"); }

    // By code or stock key; null when unknown.
    CCustomIndexDetailPtr getIndex(const QString& code) const;
    // The index as a catalogue instrument (type eInstrCustomIndex), null when unknown.
    ttservice::CInstrumentDetailPtr getIndexDetail(const QString& code) const;
    bool isExist(const QString& nameOrCode) const;
    // prefix + the smallest number from 1 up that names no index ("新板块指数3").
    QString nextFreeName(const QString& prefix) const;
    // A code no index holds yet ("ZDY001", "ZDY002", ...).
    QString nextFreeCode() const;
    QList<CCustomIndexDetailPtr> allIndices() const;
    // Adds or replaces by code; weights of the constituents are kept as given.
    bool addIndex(const CCustomIndexDetail& index);
    bool removeIndex(const QString& code);
    // Files in the data folder under "CustomIndex": export writes one JSON file
    // holding the chosen indices, import reads it back. Counts, -1 on failure.
    int exportCustomIndex(const QStringList& codes, const QString& path = QString());
    int importCustomIndex(const QString& path = QString());
    // Default export file: "<data dir>/CustomIndex/CustomIndex.json".
    static QString defaultExportPath();
    void clear();

Q_SIGNALS:
    // 1 added or replaced, 2 removed, 3 cleared
    void sigIndexChanged(int type, QString code);

private:
    CIndexManager();
    ~CIndexManager() override;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace TC
