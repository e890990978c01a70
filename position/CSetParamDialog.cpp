#include "position/CSetParamDialog.h"

#include "host/data/ColumnInfo.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/RadioButtonGroup.h"
#include "host/toolkit/ToolkitEvents.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace TC {

CSetParamDialog::CSetParamDialog(QWidget* parent)
    : XP::CCommonDialog(parent, QStringLiteral("统计设置"))
{
    setFixedSize(300, 200);
    createUi();
}

CSetParamDialog::~CSetParamDialog() = default;

void CSetParamDialog::createUi()
{
    QWidget* content = contentWidget();
    QVBoxLayout* layout = contentLayout();

    m_pEnabled = new XP::CCheckBox(Id_Enabled, QStringLiteral("是否统计"), content);
    m_pEnabled->setFixedSize(90, 22);
    m_pEnabled->setChecked(false);
    layout->addWidget(m_pEnabled);

    m_pMode = new XP::CRadioButtonGroup(content);
    m_pMode->setFixedSize(200, 22);
    m_pMode->addButton(Id_Sum, QStringLiteral("求和"));
    m_pMode->addButton(Id_Average, QStringLiteral("求平均值"));
    m_pMode->setChecked(Id_Sum);
    m_pMode->setVisible(false);
    layout->addWidget(m_pMode);
    layout->addStretch();

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    m_pOk = new XP::CPushButton(Id_Ok, QStringLiteral("确定"), content);
    m_pOk->setFixedSize(60, 20);
    buttons->addWidget(m_pOk);
    buttons->addSpacing(20);
    m_pCancel = new XP::CPushButton(Id_Cancel, QStringLiteral("取消"), content);
    m_pCancel->setFixedSize(60, 20);
    buttons->addWidget(m_pCancel);
    buttons->addSpacing(10);
    layout->addLayout(buttons);
}

void CSetParamDialog::setColumnParam(const ColumnInfo& column)
{
    m_pEnabled->blockSignals(true); // the event below follows from the state, not a click
    m_pEnabled->setChecked(column.statEnabled);
    m_pEnabled->blockSignals(false);
    m_pMode->setVisible(column.statEnabled);
    m_pMode->setChecked(column.statAverage ? Id_Average : Id_Sum);
}

void CSetParamDialog::getColumnParam(ColumnInfo& column) const
{
    column.statEnabled = m_pEnabled->isChecked();
    column.statAverage = m_pMode->checkedId() == Id_Average;
}

bool CSetParamDialog::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    if (id == XP::EV_CHECKBOX_TOGGLED && a == Id_Enabled) {
        m_pMode->setVisible(b != 0);
        return true;
    }
    if (id == XP::EV_RADIO_CHANGED)
        return true; // the choice is read when the dialog closes; it goes no further up
    if (id == XP::EV_BUTTON_CLICKED && a == Id_Ok) {
        accept();
        return true;
    }
    if (id == XP::EV_BUTTON_CLICKED && a == Id_Cancel) {
        reject();
        return true;
    }
    return XP::CCommonDialog::handleEvent(id, a, b, text, p);
}

} // namespace TC
