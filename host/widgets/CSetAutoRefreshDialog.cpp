#include "host/widgets/CSetAutoRefreshDialog.h"

#include "host/widgets/DialogButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace TC {

CSetAutoRefreshDialog::CSetAutoRefreshDialog(QWidget* parent)
    : QDialog(parent), m_pAuto(new QCheckBox(QStringLiteral("自动刷新"), this)),
      m_pStart(new QLineEdit(this)), m_pStock(new QCheckBox(QStringLiteral("股票交易时间"), this)),
      m_pFutures(new QCheckBox(QStringLiteral("期货交易时间"), this)),
      m_pInterval(new QSpinBox(this)), m_pHidden(new QCheckBox(QStringLiteral("隐藏时刷新"), this)),
      m_pPrompt(new QCheckBox(QStringLiteral("提示运行结果"), this))
{
    // "hh:mm", or empty for no start time
    m_pStart->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^$|^([01]?\\d|2[0-3]):[0-5]\\d$")), m_pStart));
    m_pStart->setPlaceholderText(QStringLiteral("hh:mm"));
    m_pInterval->setRange(0, 24 * 3600);
    m_pInterval->setSuffix(QStringLiteral(" 秒"));

    auto* form = new QFormLayout;
    form->addRow(m_pAuto);
    form->addRow(QStringLiteral("开始时间"), m_pStart);
    form->addRow(m_pStock);
    form->addRow(m_pFutures);
    form->addRow(QStringLiteral("刷新间隔"), m_pInterval);
    form->addRow(m_pHidden);
    form->addRow(m_pPrompt);
    QDialogButtonBox* buttons = createOkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CSetAutoRefreshDialog::~CSetAutoRefreshDialog() = default;

void CSetAutoRefreshDialog::setColumnParam(const ColumnInfo& c)
{
    m_pAuto->setChecked(c.autoRefresh);
    m_pStart->setText(c.refreshStartTime);
    m_pStock->setChecked(c.refreshInStockHours);
    m_pFutures->setChecked(c.refreshInFuturesHours);
    m_pInterval->setValue(c.refreshInterval);
    m_pHidden->setChecked(c.refreshWhenHidden);
    m_pPrompt->setChecked(c.promptResult);
}

void CSetAutoRefreshDialog::setRefreshTime(int interval)
{
    m_pInterval->setValue(interval);
}

void CSetAutoRefreshDialog::initUIParams(const CAutoRefreshParam& p)
{
    m_pAuto->setChecked(p.autoRefresh);
    m_pStart->setText(p.startTime);
    m_pStock->setChecked(p.inStockHours);
    m_pFutures->setChecked(p.inFuturesHours);
    m_pInterval->setValue(p.interval);
    m_pHidden->setChecked(p.whenHidden);
    m_pPrompt->setChecked(p.promptResult);
}

CAutoRefreshParam CSetAutoRefreshDialog::getUIParams() const
{
    CAutoRefreshParam p;
    p.autoRefresh = m_pAuto->isChecked();
    p.startTime = m_pStart->hasAcceptableInput() ? m_pStart->text() : QString();
    p.inStockHours = m_pStock->isChecked();
    p.inFuturesHours = m_pFutures->isChecked();
    p.interval = m_pInterval->value();
    p.whenHidden = m_pHidden->isChecked();
    p.promptResult = m_pPrompt->isChecked();
    return p;
}

void CSetAutoRefreshDialog::getColumnParam(ColumnInfo& c) const
{
    const CAutoRefreshParam p = getUIParams();
    c.autoRefresh = p.autoRefresh;
    c.refreshStartTime = p.startTime;
    c.refreshInStockHours = p.inStockHours;
    c.refreshInFuturesHours = p.inFuturesHours;
    c.refreshInterval = p.interval;
    c.refreshWhenHidden = p.whenHidden;
    c.promptResult = p.promptResult;
}

} // namespace TC
