#pragma once
// The T-board's model: 57 fixed columns over CHpfOptionBrowserData rows, keyed by the
// row key. Rows live in the base model.

#include "browse/CHpfBrowserDataModel.h"

namespace TC {

class CHpfOptionBrowserDataModel : public IIndexBaseHpfTableModel {
    Q_OBJECT
public:
    explicit CHpfOptionBrowserDataModel(QObject* parent = nullptr);
    ~CHpfOptionBrowserDataModel() override;

    int columnCount() override;
    QString headerText(int column) override;
    int columnValueType(int column) override;
    // Open interest (20, 36) and volume (21, 35) totals; unset values are skipped.
    QString statText(int column) override;
    bool columnFlag(int column) override;
};

} // namespace TC
