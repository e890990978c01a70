#pragma once
// One row record of the high-performance table. Included by every row record: keep it
// free of Qt Widgets.

#include <QtCore/QString>
#include <QtCore/QtGlobal>
#include <boost/shared_ptr.hpp>

class QColor;

namespace XP {

class IBaseHpfTableData {
public:
    virtual ~IBaseHpfTableData();

    // Display text of a cell; called only when the cell is painted.
    virtual QString getText(int column) = 0;
    // Sort and filter value of a text column.
    virtual QString getString(int column) = 0;
    virtual int getInt(int column) = 0;
    // Sort value of a double column; the no-value mark (TC::kNoValue) sorts last.
    virtual double getDouble(int column) = 0;
    // Sort value of a 64-bit column; the largest and smallest qint64 sort last.
    virtual qint64 getLonglong(int column) = 0;
    // Null: the table's default text colour.
    virtual const QColor* getTextColor(int column) = 0;
    virtual QString getKey() = 0;

    // Text matched by a column filter; the base gives getString(column).
    virtual QString getFilterQString(int column);
    virtual QString getDisplayUnit(int column);
    virtual int getIndexFromName(const QString& name);
    // Resource key of an icon drawn before the text; empty for none.
    virtual QString getItemIconKey(int column);
    virtual QString getItemIconTip(int column);
    // Null: the table's background.
    virtual const QColor* getBackgroundColor(int column);
    virtual double getChangedValue(int column);
    virtual bool isFlashChange(int column);
};

typedef boost::shared_ptr<IBaseHpfTableData> IBaseHpfTableDataPtr;

} // namespace XP
