#pragma once
// The position list's state: the browse table's state plus accounts, position records,
// subscriptions and the push cache the trading thread writes.

#include "browse/CBrowseWidget_p.h"
#include "host/data/AccountData.h"
#include "position/CPositionBrowserData.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

class QMenu;
class QTimer;

namespace XP {
class CComboBox;
class CRadioButtonGroup;
class CWidgetList;
} // namespace XP

namespace TC {

class CSetParamDialog;

// Pushes waiting for the GUI thread. The trading thread's callback holds this object, never
// the widget, so a push that races the widget's destruction writes into a cache nobody
// reads any more instead of into freed memory.
struct CPositionPushCache {
    std::mutex mutex;
    // the newest record per position key
    QHash<QString, ttservice::CPositionStaticsPtr> positions;
    // the newest record per stock key and account key
    QHash<QString, QHash<QString, ttservice::CPositionStaticsPtr>> codes;
    std::atomic<quint64> pushes{0};

    void put(int kind, const ttservice::CPositionStaticsPtr& record);
    void reset();
};

class CPositionBrowseWidgetPrivate : public CBrowseWidgetPrivate {
public:
    ~CPositionBrowseWidgetPrivate() override;

    XP::CWidgetList* m_pToolBarList = nullptr;
    XP::CComboBox* m_pProductCombo = nullptr;
    XP::CRadioButtonGroup* m_pStatTypeGroup = nullptr;
    bool m_bComboSilent = false; // combo changes made by the widget itself
    bool m_bReady = false;       // constructed: tool-bar events may reload
    int m_nStatType = 0;
    // as chosen: account ids or keys
    QSet<QString> m_setAccounts;
    // keys of the accounts whose positions are loaded
    QSet<QString> m_loadedKeys;
    QString m_qsKind;            // the position kind shown ("股票持仓", ...)
    bool m_bAllAccounts = false; // "全部产品": accounts the host opens join

    // per account key, per position key, the newest record
    QHash<QString, QMap<QString, ttservice::CPositionStaticsPtr>> m_mapAccountPositions;
    // per stock key, per position key, the newest record (code statistics sum these)
    QHash<QString, QMap<QString, ttservice::CPositionStaticsPtr>> m_mapCodeRecords;
    // per stock key, the row keys that hold the instrument
    QHash<QString, QSet<QString>> m_mapCodeRows;
    // per market and code, the rows a quote writes (several in position statistics)
    QHash<QString, QHash<QString, QList<HpfBrowserDataPtr>>> m_rowsByCode;
    QList<HpfBrowserDataPtr> m_noRows;
    // per account key, the data it was subscribed with and the subscription id
    struct Subscription {
        ttservice::CAccountDataPtr data;
        int id = 0;
    };
    QHash<QString, Subscription> m_mapSubscriptions;
    std::shared_ptr<CPositionPushCache> m_cache = std::make_shared<CPositionPushCache>();
    // swapped out of the cache under its lock, applied without it; reused
    QHash<QString, ttservice::CPositionStaticsPtr> m_takenPositions;
    QHash<QString, QHash<QString, ttservice::CPositionStaticsPtr>> m_takenCodes;
    quint64 m_nApplied = 0;

    QTimer* m_pUpdateTimer = nullptr;
    QMenu* m_pPositionMenu = nullptr;
    CSetParamDialog* m_pSetParamDialog = nullptr;
    int m_nAccountListener = 0;
    // position field (46..63) -> table column id
    std::array<int, 18> m_columnIds{};
    int m_nLatestColumn = 4; // "最新"
    int m_nLatestSlot = -1;
    std::array<int, 18> m_fieldSlots{};
    QString m_qsLastSelected;
};

} // namespace TC
