#pragma once
// The host's multi-stock window: it shows the instruments of one sector side by side and
// recalculates its charts when an indicator column's condition refills that sector. A
// process-wide singleton; safe from any thread. Every recalculation is recorded and
// announced, so a terminal (or a test) can follow what the window was asked to show.

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace TC {

class CMultiStockManager final : public QObject {
    Q_OBJECT
public:
    struct Recalculation {
        QString sector;   // the window's sector at the time of the call
        QStringList keys; // stock keys, in the order given
        bool reset = false;
    };

    static CMultiStockManager* instance();

    // The sector the window shows; empty when it shows none.
    QString getSector() const;
    void setSector(const QString& name);

    // Shows keys in the window; reset drops what it showed before, otherwise keys are added.
    // Emits sigRecalculated (on the calling thread).
    void recalculate(const std::vector<QString>& keys, bool reset);
    std::vector<Recalculation> recalculations() const;
    void clearRecalculations();

Q_SIGNALS:
    void sigSectorChanged(const QString& sector);
    void sigRecalculated(const QStringList& keys, bool reset);

private:
    CMultiStockManager();
    ~CMultiStockManager() override;
    Q_DISABLE_COPY_MOVE(CMultiStockManager)

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace TC
