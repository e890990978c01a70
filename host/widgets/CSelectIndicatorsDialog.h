#pragma once
// The host's indicator picker: the formulas of the formula catalogue with their output
// lines and a data period. Confirming keeps the dialog alive (it is shown again later),
// hides it and emits sigCustomIndexFinish(); the chosen column is then in chosenColumn().

#include "host/data/ColumnInfo.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace TC {

class CSelectIndicatorsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSelectIndicatorsDialog(QWidget* parent = nullptr);
    ~CSelectIndicatorsDialog() override;

    // Re-reads the formula catalogue; the current choice is kept when still listed.
    void reload();
    QStringList formulaNames() const;
    // Selects a formula and one of its output lines; false for an unknown formula or line.
    bool chooseFormula(const QString& name, int line = 0);
    // Period choices: 0 the latest trading day, 86400000 daily bars.
    void setPeriod(int periodMs);
    void setTitle(const QString& title);
    // The column of the last confirmed choice; empty before the first one.
    ColumnInfo chosenColumn() const { return m_column; }

    // With no formula selected the dialog stays open.
    void accept() override;

Q_SIGNALS:
    void sigCustomIndexFinish();

private:
    void onFormulaChanged();

    QListWidget* m_pFormulas;
    QComboBox* m_pLines;
    QComboBox* m_pPeriod;
    QLineEdit* m_pTitle;
    ColumnInfo m_column;
};

} // namespace TC
