#include "host/widgets/CSelectIndicatorsDialog.h"

#include "host/data/FormulaOperateManager.h"
#include "host/widgets/DialogButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace TC {

namespace {
constexpr int kDailyMs = 86400000;
}

CSelectIndicatorsDialog::CSelectIndicatorsDialog(QWidget* parent)
    : QDialog(parent), m_pFormulas(new QListWidget(this)), m_pLines(new QComboBox(this)),
      m_pPeriod(new QComboBox(this)), m_pTitle(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("选择自定义指标"));
    m_pPeriod->addItem(QStringLiteral("日线"), kDailyMs);
    m_pPeriod->addItem(QStringLiteral("当日"), 0);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("输出线"), m_pLines);
    form->addRow(QStringLiteral("周期"), m_pPeriod);
    form->addRow(QStringLiteral("列名"), m_pTitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pFormulas, 1);
    layout->addLayout(form);
    layout->addWidget(createOkCancelButtons(this));
    connect(m_pFormulas, &QListWidget::currentRowChanged, this,
            [this](int) { onFormulaChanged(); });
    connect(m_pLines, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int) {
        const QString formula =
            m_pFormulas->currentItem() ? m_pFormulas->currentItem()->text() : QString();
        // one output line: the formula names the column; else the line does
        m_pTitle->setText(m_pLines->count() > 1 ? m_pLines->currentText() : formula);
    });
    reload();
    resize(320, 420);
}

CSelectIndicatorsDialog::~CSelectIndicatorsDialog() = default;

void CSelectIndicatorsDialog::reload()
{
    const QString current =
        m_pFormulas->currentItem() ? m_pFormulas->currentItem()->text() : QString();
    m_pFormulas->clear();
    for (const QString& name : CFormulaOperateManager::instance()->formulaNames())
        m_pFormulas->addItem(name);
    const QList<QListWidgetItem*> found = m_pFormulas->findItems(current, Qt::MatchExactly);
    m_pFormulas->setCurrentItem(found.isEmpty() ? nullptr : found.first());
    onFormulaChanged();
}

QStringList CSelectIndicatorsDialog::formulaNames() const
{
    QStringList out;
    for (int i = 0; i < m_pFormulas->count(); ++i)
        out.append(m_pFormulas->item(i)->text());
    return out;
}

bool CSelectIndicatorsDialog::chooseFormula(const QString& name, int line)
{
    const QList<QListWidgetItem*> found = m_pFormulas->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    m_pFormulas->setCurrentItem(found.first());
    if (line < 0 || line >= m_pLines->count())
        return false;
    m_pLines->setCurrentIndex(line);
    return true;
}

void CSelectIndicatorsDialog::setPeriod(int periodMs)
{
    const int at = m_pPeriod->findData(periodMs);
    if (at >= 0)
        m_pPeriod->setCurrentIndex(at);
}

void CSelectIndicatorsDialog::setTitle(const QString& title)
{
    m_pTitle->setText(title);
}

void CSelectIndicatorsDialog::onFormulaChanged()
{
    m_pLines->blockSignals(true);
    m_pLines->clear();
    const QListWidgetItem* item = m_pFormulas->currentItem();
    const CFormulaDetailPtr detail =
        item ? CFormulaOperateManager::instance()->getFormula(item->text()) : nullptr;
    if (detail) {
        for (const QString& line : detail->lineNames)
            m_pLines->addItem(line);
        if (m_pLines->count() == 0)
            m_pLines->addItem(detail->name);
    }
    m_pLines->blockSignals(false);
    m_pTitle->setText(m_pLines->count() > 1 ? m_pLines->currentText()
                                            : (item ? item->text() : QString()));
}

void CSelectIndicatorsDialog::accept()
{
    const QListWidgetItem* item = m_pFormulas->currentItem();
    if (!item || m_pLines->currentIndex() < 0)
        return;
    ColumnInfo c;
    c.formulaName = item->text();
    c.lineIndex = m_pLines->currentIndex();
    c.period = m_pPeriod->currentData().toInt();
    c.title = m_pTitle->text().trimmed();
    if (c.title.isEmpty())
        c.title = c.formulaName;
    m_column = c;
    QDialog::accept();
    Q_EMIT sigCustomIndexFinish();
}

} // namespace TC
