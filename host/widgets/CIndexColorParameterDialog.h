#pragma once
// The host dialog that edits the colour ranges of one indicator column.

#include "host/data/IndexValueParam.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QLabel;
class QTableWidget;

namespace TC {

class CIndexColorParameterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CIndexColorParameterDialog(QWidget* parent = nullptr);
    ~CIndexColorParameterDialog() override;

    // Colour names offered, "default" last; the browse table maps names to colours.
    static QStringList colorNames();

    void clearWidget();
    void setIndexValueParam(const QString& title, const std::vector<SIndexValueParam>& ranges);
    // The ranges as edited; a range whose lower bound is above its upper bound is left out.
    std::vector<SIndexValueParam> getIndexValueParam() const;
    QString title() const;

    // Row editing, also used by the buttons.
    int addRange(const SIndexValueParam& range);
    void removeRange(int row);
    int rangeCount() const;

private:
    QLabel* m_pTitle;
    QTableWidget* m_pTable;
    QString m_qsTitle;
    std::vector<std::string> m_notes; // parallel to the rows
};

} // namespace TC
