#pragma once
// The host dialog that edits an indicator column's refresh settings: automatic refresh,
// start time, trading hours, interval (seconds), refresh while hidden and result prompts.
// exec() returns 1 (QDialog::Accepted) when the user confirms.

#include "host/data/AutoRefreshParam.h"
#include "host/data/ColumnInfo.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace TC {

class CSetAutoRefreshDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSetAutoRefreshDialog(QWidget* parent = nullptr);
    ~CSetAutoRefreshDialog() override;

    // Shows the column's refresh fields.
    void setColumnParam(const ColumnInfo& column);
    void setRefreshTime(int interval);
    // Shows settings saved for the column's title (they replace what setColumnParam showed).
    void initUIParams(const CAutoRefreshParam& param);
    // The settings shown, as they would be saved for the title.
    CAutoRefreshParam getUIParams() const;
    // Writes the edited refresh fields into column; the others stay.
    void getColumnParam(ColumnInfo& column) const;

    // The controls, for scripted use.
    QCheckBox* autoRefreshBox() const { return m_pAuto; }
    QLineEdit* startTimeEdit() const { return m_pStart; }
    QCheckBox* stockHoursBox() const { return m_pStock; }
    QCheckBox* futuresHoursBox() const { return m_pFutures; }
    QSpinBox* intervalBox() const { return m_pInterval; }
    QCheckBox* whenHiddenBox() const { return m_pHidden; }
    QCheckBox* promptBox() const { return m_pPrompt; }

private:
    QCheckBox* m_pAuto;
    QLineEdit* m_pStart;
    QCheckBox* m_pStock;
    QCheckBox* m_pFutures;
    QSpinBox* m_pInterval;
    QCheckBox* m_pHidden;
    QCheckBox* m_pPrompt;
};

} // namespace TC
