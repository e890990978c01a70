#pragma once
// Text formats of the browse table's saved state: column lines, the value file and the
// field-list file. Qt Core only, so that the readers can be fuzzed without widgets.
//
// Texts inside these formats escape ",", "\n" and "\r" as "%2C", "%0A" and "%0D", and "%"
// as "%25" only where it precedes two hex digits; a text holding none of these is written
// as it is, so strings and files written before the escaping read unchanged.

#include "host/data/ColumnInfo.h"

#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstddef>
#include <string>

namespace TC {
namespace browseparam {

// first key (sector or condition sector) -> column title -> row key -> value
using ValueCache = QMap<QString, QMap<QString, QMap<QString, double>>>;
using FieldLists = QMap<QString, QStringList>;

// Fields of an indicator line ("customs") and of a user-defined line ("UserDefined").
constexpr int kIndicatorFields = 28;
constexpr int kUserDefinedFields = 26;
// Lines with fewer fields are skipped.
constexpr int kMinColumnFields = 10;

QString escapeText(const QString& text);
// Decodes the four escapes; any other "%" stays as it is.
QString unescapeText(const QString& text);

// One line per column, joined with "\n"; fieldCount is kIndicatorFields or
// kUserDefinedFields.
QString writeColumnLines(const QList<ColumnInfo>& columns, int fieldCount);
// Columns of the lines that have at least kMinColumnFields fields. Positions 10 to 24 are
// read when a line has 25 fields or more, 25 and 26 when it has that many more; position 27
// is written but not read. readThreshold false leaves conditionThreshold alone (user-defined
// lines take it from the field store). Progress counters start reset.
QList<ColumnInfo> readColumnLines(const QString& text, bool readThreshold);

// "first key,title,row key,value" lines, values with 4 decimals (invalid ones as "非法值").
std::string writeValueFile(const ValueCache& values);
// Merges the lines into values. Tolerant of unescaped titles: the first field is the first
// key, the last the value, the one before it the row key and those between the title. A
// value that is not a finite number restores nothing. Returns the entries taken.
int readValueFile(const char* data, std::size_t size, ValueCache& values);

// "sector:field,field" lines; entries with an empty sector or list are left out. ":" in a
// sector name is written as "%3A", so that a line splits at its first ":".
std::string writeFieldList(const FieldLists& lists);
// Sets the list of every line with a sector and a non-empty text after the first ":", split
// at ",". Returns the lists taken.
int readFieldList(const char* data, std::size_t size, FieldLists& lists);

} // namespace browseparam
} // namespace TC
