// Restoring the position list from its parameter string: the quote table's restore, then
// the statistics settings of the saved column lines.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowseWidget_p.h"

#include "browse/BrowseParamFormat.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/JsonParam.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace TC {

namespace {
// places 26 and 27 carry the statistics setting; shorter lines leave it alone
constexpr int kStatFields = 28;
constexpr int kIndustryColumn = 2;

// The visibility a table configuration string gives a column, or `fallback` when it does
// not name the column.
bool savedVisibility(const QString& config, int id, bool fallback)
{
    const QJsonValue cols = QJsonDocument::fromJson(config.toUtf8()).object().value("cols");
    for (const QJsonValue& v : cols.toArray()) {
        const QJsonArray entry = v.toArray();
        if (entry.size() >= 3 && entry[0].isDouble() && entry[0].toInt(-1) == id) {
            const int visible = entry[2].toInt(-1);
            return visible == 0 || visible == 1 ? visible == 1 : fallback;
        }
    }
    return fallback;
}
} // namespace

void CPositionBrowseWidget::setParam(const QString& param, bool load)
{
    // The quote table's restore ends with its sector rule for the industry column; the
    // position table's columns are its own (it never applies that rule), so the column
    // keeps what the layout says, or what it had.
    const bool industryShown = d->m_pTable->isColumnVisible(kIndustryColumn);
    CBrowseWidget::setParam(param, load); // layout, columns, values; logs a bad string
    if (param.isEmpty())
        return;
    const JsonParseResult parsed = JsonParam::parse(param);
    if (!parsed.ok())
        return;
    const QString config = parsed.object.type("tableconfig") == JsonType::String
                               ? parsed.object.getQString("tableconfig")
                               : QString();
    setColumnVisible(kIndustryColumn, savedVisibility(config, kIndustryColumn, industryShown));
    if (parsed.object.type("customs") == JsonType::String)
        restoreColumnLines(parsed.object.getQString("customs"));
}

void CPositionBrowseWidget::restoreColumnLines(const QString& customs)
{
    const QStringList titles = positionColumnTitles();
    for (const QString& line : customs.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < kStatFields)
            continue;
        const QList<ColumnInfo> read = browseparam::readColumnLines(line, true);
        if (read.isEmpty())
            continue;
        const ColumnInfo& saved = read.first();
        // Ids are drawn afresh on every start: the saved id may name another column now.
        // The target is the position column of the title, or the column equal to the line
        // (the quote table added it, or found it present).
        const ColumnInfo* target = nullptr;
        const bool position = titles.contains(saved.title);
        for (const ColumnInfo& c : d->m_columnList) {
            if (position ? (c.isQuoter() && c.title == saved.title) : c == saved)
                target = &c;
        }
        if (!target)
            continue;
        ColumnInfo updated = *target; // only the two statistics places change
        updated.statEnabled = fields[26].toInt() != 0;
        updated.statAverage = fields[27].toInt() != 0;
        applyStatSetting(updated);
    }
}

} // namespace TC
