// Persistence: the parameter string, the value file and the field-list file.
//
// A table's side files keep their names: its first full save draws a new name (created
// exclusively so that another string's file is never overwritten) unless a restore gave
// it one no other live table holds, and every later save rewrites that file in place
// through a temporary file renamed over it. So saves do not pile up files, and an older
// string of the same table still finds its files, with the latest values. A restore reads
// only files inside "<data dir>/BrowseParam"; the files it read under other names go once
// this table's next full save has written their replacements, unless a live table holds them.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseParamFormat.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaTypes.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/StdFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace TC {

namespace {

const QString kParamFolder = QStringLiteral("BrowseParam");
// the one field-list file every table shared before field lists got drawn names
const QString kSharedFieldFile = QStringLiteral("UserDefinedField.csv");
const QString kFieldFileSuffix = QStringLiteral("_UserDefinedField.csv");
constexpr int kMaxDraws = 1000;                  // names tried before a save gives up
constexpr qint64 kMaxSideFileBytes = 64ll << 20; // larger side files are not read
constexpr int kMaxPaddedIds = 256;               // column ids skipped to realign a layout
constexpr int kFixedColumns = 3;

std::atomic<long long> s_nParamId{0};

QString paramFolder()
{
    return getDataDir() + QLatin1Char('/') + kParamFolder;
}

// Writes content under a newly drawn name that no file had; the path, or empty on failure.
QString writeNewParamFile(const std::string& content, const QString& suffix)
{
    for (int attempt = 0; attempt < kMaxDraws; ++attempt) {
        const QString path = CBrowseWidget::getParamNameByID(-1) + suffix;
        QFile reservation(path);
        if (!reservation.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                continue; // another string's file (a second instance, a clock set back)
            TT_LOG_ERROR("[browsewidget param] cannot create %1%: %2%", path,
                         reservation.errorString());
            return QString();
        }
        reservation.close();
        if (stdWriteFile(path, content, "wb"))
            return path;
        QFile::remove(path);
        TT_LOG_ERROR("[browsewidget param] writing %1% failed, the string does not name it", path);
        return QString();
    }
    TT_LOG_ERROR("[browsewidget param] no free name in %1% after %2% draws", paramFolder(),
                 kMaxDraws);
    return QString();
}

// The canonical path of a side file named by a string, when it lies inside the parameter
// folder; a name outside it (a shared or edited layout) is refused, with a warning if asked.
QString confinedParamFile(const QString& name, const char* key, bool warn = true)
{
    const QString folder = QDir(paramFolder()).canonicalPath();
    const QFileInfo info(QDir(paramFolder()).absoluteFilePath(name));
    const QString path = info.canonicalFilePath();
    if (folder.isEmpty() || path.isEmpty()) {
        if (warn)
            TT_LOG_WARN("[browsewidget setParam] %1% names %2%, which does not exist", key, name);
        return QString();
    }
    if (!path.startsWith(folder + QLatin1Char('/')) || !info.isFile()) {
        if (warn)
            TT_LOG_WARN("[browsewidget setParam] %1% names %2%, outside %3%: ignored", key, name,
                        folder);
        return QString();
    }
    if (info.size() > kMaxSideFileBytes) {
        if (warn)
            TT_LOG_WARN("[browsewidget setParam] %1% names %2% of %3% bytes: ignored", key, path,
                        info.size());
        return QString();
    }
    return path;
}

// --- the side files each live table holds ----------------------------------------------

struct ParamFileClaims {
    std::mutex mutex;
    QSet<QString> paths; // canonical
};

ParamFileClaims& paramFileClaims()
{
    static ParamFileClaims claims;
    return claims;
}

bool claimParamFile(const QString& canonical)
{
    ParamFileClaims& c = paramFileClaims();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (canonical.isEmpty() || c.paths.contains(canonical))
        return false;
    c.paths.insert(canonical);
    return true;
}

void releaseParamFile(const QString& canonical)
{
    if (canonical.isEmpty())
        return;
    ParamFileClaims& c = paramFileClaims();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.paths.remove(canonical);
}

bool isClaimedParamFile(const QString& canonical)
{
    ParamFileClaims& c = paramFileClaims();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.paths.contains(canonical);
}

// A table without a side file of its own takes over the one a restored string names (a
// canonical path inside the folder), unless another live table holds it; the file counts as
// unread until a restore reads it.
void adoptParamFile(CBrowseWidgetPrivate::OwnParamFile& own, const QString& canonical)
{
    if (!own.path.isEmpty() || !claimParamFile(canonical))
        return;
    own.path = canonical;
    own.canonical = canonical;
    own.unread = true;
}

// What a save writes to a side file the table took over unread: the file's entries, this
// table's own winning, so that rewriting it in place loses nothing a string restores from it.
template <typename Map, typename Merge>
Map withUnreadEntries(const CBrowseWidgetPrivate::OwnParamFile& own, const Map& mine,
                      int (*read)(const char*, std::size_t, Map&), Merge merge)
{
    std::string content;
    if (!own.unread || !stdReadFile(own.path, content))
        return mine;
    Map merged;
    read(content.data(), content.size(), merged);
    merge(merged, mine);
    return merged;
}

// Writes content to the table's own side file, drawing and claiming one first when it has
// none in the current folder; the path, or empty on failure.
QString writeOwnParamFile(const std::string& content, const QString& suffix,
                          CBrowseWidgetPrivate::OwnParamFile& own)
{
    if (!own.path.isEmpty()) {
        // the data dir may have changed since the file was claimed
        const QString folder = QDir(paramFolder()).canonicalPath();
        if (!folder.isEmpty() && QFileInfo(own.canonical).absolutePath() == folder) {
            QSaveFile file(own.path);
            if (file.open(QIODevice::WriteOnly)
                && file.write(content.data(), qint64(content.size())) == qint64(content.size())
                && file.commit())
                return own.path;
            TT_LOG_ERROR("[browsewidget param] rewriting %1% failed (%2%), the string does not "
                         "name it",
                         own.path, file.errorString());
            return QString();
        }
        releaseParamFile(own.canonical);
        own.path.clear();
        own.canonical.clear();
    }
    const QString path = writeNewParamFile(content, suffix);
    if (path.isEmpty())
        return path;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (claimParamFile(canonical)) {
        own.path = path;
        own.canonical = canonical;
    }
    return path;
}

bool stringMember(const JsonObject& o, const char* key, QString& out)
{
    const JsonType type = o.type(key);
    if (type == JsonType::Missing)
        return false;
    if (type != JsonType::String) {
        TT_LOG_ERROR("[browsewidget setParam] member %1% is not a string: skipped", key);
        return false;
    }
    out = o.getQString(key);
    return true;
}

// --- colour ranges -----------------------------------------------------------------------

const char* const kColoursKey = "indexValueColors";

void writeColours(JsonBuilder& out, const std::map<QString, std::vector<SIndexValueParam>>& all)
{
    JsonArrayBuilder titles;
    for (const auto& entry : all) {
        if (entry.second.empty())
            continue;
        JsonArrayBuilder ranges;
        for (const SIndexValueParam& r : entry.second) {
            JsonBuilder range;
            range.appendDouble("lower", r.lower)
                .appendDouble("upper", r.upper)
                .appendString("note", r.note)
                .appendString("color", r.colorName)
                .appendInt("lowerExclusive", r.lowerExclusive)
                .appendInt("upperExclusive", r.upperExclusive);
            ranges.appendObject(range.obj());
        }
        JsonBuilder title;
        title.appendString("title", entry.first).appendArray("ranges", ranges);
        titles.appendObject(title.obj());
    }
    if (titles.size() > 0)
        out.appendArray(kColoursKey, titles);
}

// The custom indicator and user-defined columns, each member only when it has columns.
void writeColumnParams(JsonBuilder& out, const QList<ColumnInfo>& customs,
                       const QList<ColumnInfo>& userDefined)
{
    if (!customs.isEmpty())
        out.appendString("customs",
                         browseparam::writeColumnLines(customs, browseparam::kIndicatorFields));
    if (!userDefined.isEmpty())
        out.appendString("UserDefined", browseparam::writeColumnLines(
                                            userDefined, browseparam::kUserDefinedFields));
}

// JSON has no infinities: an open bound was written as null
double bound(const JsonObject& o, const char* key, double open)
{
    return o.type(key) == JsonType::Null ? open : o.getDouble(key);
}

void readColours(CBrowseWidget& w, const JsonObject& o)
{
    const JsonType type = o.type(kColoursKey);
    if (type == JsonType::Missing)
        return;
    if (type != JsonType::Array) {
        TT_LOG_ERROR("[browsewidget setParam] member %1% is not an array: skipped", kColoursKey);
        return;
    }
    const JsonArray titles = o.getArray(kColoursKey);
    for (int i = 0; i < titles.size(); ++i) {
        const JsonObject t = titles.getObject(i);
        if (t.type("title") != JsonType::String || t.type("ranges") != JsonType::Array)
            continue;
        const JsonArray ranges = t.getArray("ranges");
        std::vector<SIndexValueParam> out;
        out.reserve(size_t(ranges.size()));
        for (int j = 0; j < ranges.size(); ++j) {
            const JsonObject r = ranges.getObject(j);
            SIndexValueParam p;
            p.lower = bound(r, "lower", -std::numeric_limits<double>::infinity());
            p.upper = bound(r, "upper", std::numeric_limits<double>::infinity());
            p.note = r.getString("note");
            p.colorName = r.getString("color");
            p.lowerExclusive = r.getInt("lowerExclusive");
            p.upperExclusive = r.getInt("upperExclusive");
            out.push_back(std::move(p));
        }
        w.setIndexValueParams(t.getQString("title"), out);
    }
}

} // namespace

CBrowseWidgetPrivate::OwnParamFile::~OwnParamFile()
{
    releaseParamFile(canonical);
}

// --- names -----------------------------------------------------------------------------------

QString CBrowseWidget::getParamNameByID(long long id)
{
    long long current = s_nParamId.load();
    if (id == -1) {
        // seconds since the epoch, or one past the last id when that is not smaller
        const long long now = QDateTime::currentSecsSinceEpoch();
        long long next;
        do {
            next = now > current ? now : current + 1;
        } while (!s_nParamId.compare_exchange_weak(current, next));
        id = next;
    } else {
        while (id > current && !s_nParamId.compare_exchange_weak(current, id)) {}
    }
    const QString folder = paramFolder();
    QDir().mkpath(folder);
    return folder + QDir::separator() + QString::number(id);
}

// --- saving ----------------------------------------------------------------------------------

QString CBrowseWidget::saveConfigStr() const
{
    return d->m_pTable ? d->m_pTable->saveConfigStr() : QString();
}

bool CBrowseWidget::loadConfigStr(const QString& config)
{
    return d->m_pTable && d->m_pTable->loadConfigStr(config);
}

QString CBrowseWidget::param(bool save)
{
    JsonBuilder out;
    if (d->m_pTable)
        out.appendString("tableconfig", saveConfigStr());
    writeColumnParams(out, d->m_customIndexColumns, d->m_userDefinedColumns);
    if (save) {
        const std::string values = browseparam::writeValueFile(withUnreadEntries(
            d->m_ownValueFile, d->m_customIndexValues, &browseparam::readValueFile,
            [](CustomIndexValues& merged, const CustomIndexValues& mine) {
                for (auto sector = mine.cbegin(); sector != mine.cend(); ++sector) {
                    auto& toSector = merged[sector.key()];
                    for (auto title = sector->cbegin(); title != sector->cend(); ++title) {
                        auto& toTitle = toSector[title.key()];
                        for (auto v = title->cbegin(); v != title->cend(); ++v)
                            toTitle.insert(v.key(), v.value());
                    }
                }
            }));
        const QString valuePath = writeOwnParamFile(values, QString(), d->m_ownValueFile);
        if (!valuePath.isEmpty()) {
            out.appendString("customIndexValueFileName", valuePath);
            TT_LOG_INFO("CBrowseWidget::param save customIndexValueFile, paramName:%1%, size:%2%",
                        valuePath, values.size());
        }
        const std::string fields = browseparam::writeFieldList(withUnreadEntries(
            d->m_ownFieldFile, d->m_sectorFieldMap, &browseparam::readFieldList,
            [](QMap<QString, QStringList>& merged, const QMap<QString, QStringList>& mine) {
                for (auto it = mine.cbegin(); it != mine.cend(); ++it)
                    merged.insert(it.key(), it.value());
            }));
        const QString fieldPath = writeOwnParamFile(fields, kFieldFileSuffix, d->m_ownFieldFile);
        if (!fieldPath.isEmpty()) {
            out.appendString("UserDefinedFieldFileName", fieldPath);
            TT_LOG_INFO(
                "CBrowseWidget::param save UserDefinedFieldFileName, paramName:%1%, size:%2%",
                fieldPath, fields.size());
        }
        // the files restored earlier have their replacements now; a file a live table
        // (this one included) writes to stays
        auto drop = [](QStringList& files, const QString& written) {
            if (written.isEmpty())
                return;
            // a restored file deleted meanwhile may have left its name to this save
            const QString kept = QFileInfo(written).canonicalFilePath();
            for (const QString& f : qAsConst(files)) {
                if (f != kept && !isClaimedParamFile(f))
                    QFile::remove(f);
            }
            files.clear();
        };
        drop(d->m_restoredValueFiles, valuePath);
        drop(d->m_restoredFieldFiles, fieldPath);
    }
    writeColours(out, d->m_indexValueParams);
    return out.toQString();
}

QString CBrowseWidget::getCustomColumnParam() const
{
    JsonBuilder out;
    writeColumnParams(out, d->m_customIndexColumns, d->m_userDefinedColumns);
    return out.toQString();
}

// --- restoring -------------------------------------------------------------------------------

void CBrowseWidget::restoreParamColumns(const JsonObject& o, bool fromLayout)
{
    struct Restored {
        ColumnInfo column;
        bool userDefined;
    };
    std::vector<Restored> columns;
    QString text;
    if (stringMember(o, "customs", text)) {
        for (const ColumnInfo& c : browseparam::readColumnLines(text, true))
            columns.push_back({c, false});
    }
    if (stringMember(o, "UserDefined", text)) {
        // a layout takes the threshold from the field store, a column template its own
        for (ColumnInfo c : browseparam::readColumnLines(text, !fromLayout)) {
            if (fromLayout)
                c.conditionThreshold = se::FieldParams::getDefault(c.formulaName).toDouble();
            columns.push_back({c, true});
        }
    }
    if (fromLayout) {
        // the table configuration names columns by id: add them in the order they got
        // their ids, skipping the ids of columns removed since, so that each id comes back
        std::stable_sort(columns.begin(), columns.end(), [](const Restored& a, const Restored& b) {
            return a.column.columnId < b.column.columnId;
        });
    }
    for (Restored& r : columns) {
        const int saved = r.column.columnId;
        const int next = d->m_pTable ? d->m_pTable->columnCount() : 0;
        if (fromLayout && d->m_pTable && saved > next && saved - next <= kMaxPaddedIds) {
            while (d->m_pTable->columnCount() < saved)
                d->m_pTable->removeColumn(d->m_pTable->newColumnId());
        }
        if (r.userDefined) {
            if (addCustomEditableColumn(r.column) >= 0)
                updateEditable(r.column);
        } else {
            addCustomIndex(r.column);
        }
    }
}

void CBrowseWidget::setParam(const QString& param, bool load)
{
    if (param.isEmpty())
        return;
    const JsonParseResult parsed = JsonParam::parse(param);
    if (!parsed.ok()) {
        TT_LOG_ERROR("[browsewidget setParam] parse error, nothing restored: %1%", parsed.error);
        return;
    }
    const JsonObject& o = parsed.object;
    restoreParamColumns(o, true);
    QString text;
    if (stringMember(o, "tableconfig", text) && d->m_pTable) {
        d->m_pTable->loadConfigStr(text);
        for (int id = 0; id < kFixedColumns; ++id)
            d->m_pTable->setColumnFilterable(id, true);
    }
    readColours(*this, o);
    if (!load) {
        // the files this table's string names become its own, unread: the next save
        // rewrites them rather than leaving them behind
        if (stringMember(o, "customIndexValueFileName", text))
            adoptParamFile(d->m_ownValueFile,
                           confinedParamFile(text, "customIndexValueFileName", false));
        if (stringMember(o, "UserDefinedFieldFileName", text)) {
            const QString path = confinedParamFile(text, "UserDefinedFieldFileName", false);
            if (QFileInfo(path).fileName() != kSharedFieldFile)
                adoptParamFile(d->m_ownFieldFile, path);
        }
    } else {
        std::string content;
        if (stringMember(o, "customIndexValueFileName", text)) {
            const QString path = confinedParamFile(text, "customIndexValueFileName");
            adoptParamFile(d->m_ownValueFile, path);
            if (!path.isEmpty() && stdReadFile(path, content)) {
                browseparam::readValueFile(content.data(), content.size(), d->m_customIndexValues);
                if (path == d->m_ownValueFile.canonical)
                    d->m_ownValueFile.unread = false;
                if (!d->m_restoredValueFiles.contains(path))
                    d->m_restoredValueFiles.append(path);
            }
        }
        if (stringMember(o, "UserDefinedFieldFileName", text)) {
            const QString path = confinedParamFile(text, "UserDefinedFieldFileName");
            if (QFileInfo(path).fileName() != kSharedFieldFile)
                adoptParamFile(d->m_ownFieldFile, path);
            if (!path.isEmpty() && stdReadFile(path, content)) {
                browseparam::readFieldList(content.data(), content.size(), d->m_sectorFieldMap);
                if (path == d->m_ownFieldFile.canonical)
                    d->m_ownFieldFile.unread = false;
                // the shared file of older strings may still be named by other tables
                if (QFileInfo(path).fileName() != kSharedFieldFile
                    && !d->m_restoredFieldFiles.contains(path))
                    d->m_restoredFieldFiles.append(path);
            }
        }
    }
    resetSectorShowHideColumn();
    fillLastCustomIndexValue();
}

bool CBrowseWidget::setCustomColumnParam(const QString& param)
{
    if (param.isEmpty())
        return false;
    const JsonParseResult parsed = JsonParam::parse(param);
    if (!parsed.ok()) {
        TT_LOG_ERROR("[browsewidget setCustomColumnParam] paser error: %1%", parsed.error);
        return false;
    }
    restoreParamColumns(parsed.object, false);
    return true;
}

} // namespace TC
