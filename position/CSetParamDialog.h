#pragma once
// "统计设置": whether the statistics row shows a value for a column, and whether that
// value is the sum or the average of the column.

#include "host/toolkit/CommonDialog.h"

namespace XP {
class CCheckBox;
class CPushButton;
class CRadioButtonGroup;
} // namespace XP

namespace TC {

struct ColumnInfo;

class CSetParamDialog : public XP::CCommonDialog {
    Q_OBJECT
public:
    enum EControl { Id_Enabled = 0, Id_Sum = 1, Id_Average = 2, Id_Ok = 3, Id_Cancel = 4 };

    explicit CSetParamDialog(QWidget* parent = nullptr);
    ~CSetParamDialog() override;

    void createUi();
    // Shows the column's statistics flags.
    void setColumnParam(const ColumnInfo& column);
    // Writes the dialog's choice into the column's statistics flags.
    void getColumnParam(ColumnInfo& column) const;
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

    XP::CCheckBox* enabledBox() const { return m_pEnabled; }
    XP::CRadioButtonGroup* modeGroup() const { return m_pMode; }
    XP::CPushButton* okButton() const { return m_pOk; }
    XP::CPushButton* cancelButton() const { return m_pCancel; }

private:
    XP::CCheckBox* m_pEnabled = nullptr;
    XP::CRadioButtonGroup* m_pMode = nullptr;
    XP::CPushButton* m_pOk = nullptr;
    XP::CPushButton* m_pCancel = nullptr;
};

} // namespace TC
