// Restoring the position list from its parameter string: the quote table's restore, then
// the statistics settings of the saved column lines.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowseWidget_p.h"

#include "browse/BrowseParamFormat.h"
#include "host/data/ColumnInfo.h"
#include "host/data/JsonParam.h"

namespace TC {

namespace {
// places 26 and 27 carry the statistics setting; shorter lines leave it alone
constexpr int kStatFields = 28;
} // namespace

void CPositionBrowseWidget::setParam(const QString& param, bool load)
{
    CBrowseWidget::setParam(param, load); // layout, columns, values; logs a bad string
    if (param.isEmpty())
        return;
    const JsonParseResult parsed = JsonParam::parse(param);
    if (parsed.ok() && parsed.object.type("customs") == JsonType::String)
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
