#pragma once
// One browse row: an instrument's identity, its quote and indicator values with their
// precisions, and the text colour of each cell.

#include "browse/BrowseColumnTables.h"
#include "host/toolkit/HpfTableData.h"

#include <QVariant>
#include <QVector>
#include <memory>

namespace TC {

class HpfBrowserData : public XP::IBaseHpfTableData {
public:
    HpfBrowserData() = default;

    QString key;
    QString market;
    QString code;
    QString name;
    QString industry;
    QVector<double> quoteValues;       // the no-value mark means "no value"
    QVector<qint8> quotePrecisions;    // decimals or a format code, per quote slot
    QVector<quint8> textColors;        // palette index per table column id; 0: equal colour
    QVector<QVariant> indicatorValues; // per indicator slot
    QString industryFallback;
    QString underlyingCode;
    QString underlyingName;
    QString underlyingMarket;
    std::shared_ptr<BrowseColumnTables> tables; // set when the model attaches the row
    // Instrument figures a push needs, looked up once when the row is built.
    double priceStep = -1e-5; // no instrument known
    double totalShares = 0.0;
    double floatShares = 0.0;
    double conversionPrice = 0.0; // convertible bonds
    qint8 priceDecimals = 2;

    QString getText(int column) override;
    QString getString(int column) override;
    int getInt(int column) override;
    double getDouble(int column) override;
    qint64 getLonglong(int column) override;
    const QColor* getTextColor(int column) override;
    QString getKey() override;

    // The resource key of a cell's colour; null when the cell has none.
    const QString* getTextColorKey(int column) const;
    void setTextColorIndex(int column, int paletteIndex)
    {
        if (column >= 0 && column < textColors.size())
            textColors[column] = quint8(paletteIndex);
    }
    // Writes a quote slot; a slot outside the vectors is skipped.
    void setQuoteValue(int slot, double value, int precision)
    {
        if (slot < 0 || slot >= quoteValues.size())
            return;
        quoteValues[slot] = value;
        quotePrecisions[slot] = qint8(precision);
    }
    double quoteValue(int slot) const;
    void setIndicatorValue(int slot, const QVariant& value)
    {
        if (slot >= 0 && slot < indicatorValues.size())
            indicatorValues[slot] = value;
    }
    // Sizes the value vectors and sets every value to the no-value mark.
    void initValues(int quoteSlots, int indicatorSlots, int columns, int defaultPrecision = 3);

    // Saturating conversion: the no-value mark, +inf and NaN give the largest qint64,
    // -inf the smallest.
    static qint64 toLonglong(double value);

private:
    QString formatNumber(int column, double value, int precision);
    double indicatorDouble(int slot) const;
};

typedef boost::shared_ptr<HpfBrowserData> HpfBrowserDataPtr;

} // namespace TC
