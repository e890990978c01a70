// Restoring the position list from its parameter string: the table layout, and the
// statistics settings of the saved column lines.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"

namespace TC {

namespace {

constexpr int kMinFields = 10;
constexpr int kStatFields = 28; // places 26 and 27 carry the statistics setting

// One saved column line (places 0 to 25 as far as the line has them).
ColumnInfo parseColumnLine(const QStringList& f)
{
    auto integer = [&f](int i) { return f.value(i).toLongLong(); };
    ColumnInfo c;
    c.formulaName = f[0];
    c.lineIndex = int(integer(1));
    c.period = int(integer(2));
    c.title = f[3];
    c.visible = integer(4) != 0;
    c.flagB = integer(5) != 0;
    c.autoRefresh = integer(6) != 0;
    c.doneCount = int(integer(7));
    c.totalCount = int(integer(8));
    c.columnId = int(integer(9));
    if (f.size() >= 25) {
        c.lineSetting = int(integer(10));
        c.columnKind = int(integer(11));
        c.valueA = integer(12);
        c.valueB = integer(13);
        c.intSetting = int(integer(14));
        c.conditionEnabled = integer(15) != 0;
        c.conditionOperator = int(integer(16));
        c.conditionThreshold = f[17].toDouble();
        c.conditionSector = f[18];
        c.conditionReset = integer(19) != 0;
        c.refreshInterval = int(integer(20));
        c.refreshWhenHidden = integer(21) != 0;
        c.isPrivate = int(integer(22));
        c.refreshStartTime = f[23];
        c.promptResult = integer(24) != 0;
    }
    if (f.size() >= 26)
        c.precision = int(integer(25));
    if (f.size() >= kStatFields) {
        c.statEnabled = integer(26) != 0;
        c.statAverage = integer(27) != 0;
    }
    return c;
}

} // namespace

void CPositionBrowseWidget::setParam(const QString& param, bool load)
{
    if (param.isEmpty())
        return;
    const JsonParseResult parsed = JsonParam::parse(param);
    if (!parsed.ok()) {
        TT_LOG_ERROR("[CPositionBrowseWidget setParam] parse error: %1%", parsed.error);
        return;
    }
    Q_UNUSED(load); // the position list keeps no value file of its own
    const QString config = parsed.object.getQString("tableconfig");
    if (!config.isEmpty() && d->m_pTable) {
        d->m_pTable->loadConfigStr(config);
        for (int id : {0, 1, 2, fieldColumn(Field_Account)})
            d->m_pTable->setColumnFilterable(id, true);
    }
    restoreColumnLines(parsed.object.getQString("customs"));
}

void CPositionBrowseWidget::restoreColumnLines(const QString& customs)
{
    if (customs.isEmpty())
        return;
    const QStringList titles = positionColumnTitles();
    for (const QString& line : customs.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < kMinFields)
            continue;
        ColumnInfo saved = parseColumnLine(fields);
        // Ids are drawn afresh on every start: a saved id may name another column now.
        // The target is found by title (position columns) or by equality once added.
        const ColumnInfo* target = nullptr;
        if (titles.contains(saved.title)) {
            for (const ColumnInfo& c : d->m_columnList) {
                if (c.title == saved.title && c.isQuoter())
                    target = &c;
            }
        } else {
            saved.columnId = -1;
            addColumn(saved); // refuses an equal column: the present one is the target
            for (const ColumnInfo& c : d->m_columnList) {
                if (c == saved)
                    target = &c;
            }
        }
        if (!target || fields.size() < kStatFields)
            continue;
        ColumnInfo updated = *target; // only the two statistics places change
        updated.statEnabled = saved.statEnabled;
        updated.statAverage = saved.statAverage;
        applyStatSetting(updated);
    }
}

} // namespace TC
