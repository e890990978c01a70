#include "host/widgets/CIndexColorParameterDialog.h"

#include "host/widgets/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <limits>

namespace TC {

namespace {
enum Column { ColLower, ColLowerExclusive, ColUpper, ColUpperExclusive, ColColor, ColCount };

QDoubleSpinBox* boundEditor(double value)
{
    auto* spin = new QDoubleSpinBox();
    spin->setDecimals(4);
    spin->setRange(-1e12, 1e12);
    spin->setValue(value);
    return spin;
}
} // namespace

QStringList CIndexColorParameterDialog::colorNames()
{
    return {QStringLiteral("红色"), QStringLiteral("绿色"), QStringLiteral("紫色"),
            QStringLiteral("蓝色"), QStringLiteral("黄色"), QStringLiteral("default")};
}

CIndexColorParameterDialog::CIndexColorParameterDialog(QWidget* parent)
    : QDialog(parent), m_pTitle(new QLabel(this)), m_pTable(new QTableWidget(0, ColCount, this))
{
    setWindowTitle(QStringLiteral("设置指标颜色"));
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("下限"), QStringLiteral("不含下限"),
                                         QStringLiteral("上限"), QStringLiteral("不含上限"),
                                         QStringLiteral("颜色")});
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTable->verticalHeader()->hide();
    auto* add = new QPushButton(QStringLiteral("添加"), this);
    auto* remove = new QPushButton(QStringLiteral("删除"), this);
    connect(add, &QPushButton::clicked, this, [this]() {
        addRange(SIndexValueParam{0.0, 0.0, {}, "default", 0, 0});
    });
    connect(remove, &QPushButton::clicked, this, [this]() { removeRange(m_pTable->currentRow()); });
    QDialogButtonBox* buttons = createOkCancelButtons(this);

    auto* rowButtons = new QHBoxLayout();
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTitle);
    layout->addWidget(m_pTable);
    layout->addLayout(rowButtons);
    layout->addWidget(buttons);
    resize(560, 320);
}

CIndexColorParameterDialog::~CIndexColorParameterDialog() = default;

void CIndexColorParameterDialog::clearWidget()
{
    m_pTable->setRowCount(0);
    m_notes.clear();
    m_qsTitle.clear();
    m_pTitle->clear();
}

void CIndexColorParameterDialog::setIndexValueParam(const QString& title,
                                                    const std::vector<SIndexValueParam>& ranges)
{
    clearWidget();
    m_qsTitle = title;
    m_pTitle->setText(title);
    for (const SIndexValueParam& r : ranges)
        addRange(r);
}

int CIndexColorParameterDialog::addRange(const SIndexValueParam& range)
{
    const int row = m_pTable->rowCount();
    m_pTable->insertRow(row);
    m_pTable->setCellWidget(row, ColLower, boundEditor(range.lower));
    m_pTable->setCellWidget(row, ColUpper, boundEditor(range.upper));
    auto* lowerEx = new QCheckBox();
    lowerEx->setChecked(range.lowerExclusive != 0);
    m_pTable->setCellWidget(row, ColLowerExclusive, lowerEx);
    auto* upperEx = new QCheckBox();
    upperEx->setChecked(range.upperExclusive != 0);
    m_pTable->setCellWidget(row, ColUpperExclusive, upperEx);
    auto* color = new QComboBox();
    color->addItems(colorNames());
    const int index = color->findText(QString::fromStdString(range.colorName));
    color->setCurrentIndex(index >= 0 ? index : color->count() - 1);
    m_pTable->setCellWidget(row, ColColor, color);
    m_notes.push_back(range.note);
    return row;
}

void CIndexColorParameterDialog::removeRange(int row)
{
    if (row < 0 || row >= m_pTable->rowCount())
        return;
    m_pTable->removeRow(row);
    m_notes.erase(m_notes.begin() + row);
}

int CIndexColorParameterDialog::rangeCount() const
{
    return m_pTable->rowCount();
}

QString CIndexColorParameterDialog::title() const
{
    return m_qsTitle;
}

std::vector<SIndexValueParam> CIndexColorParameterDialog::getIndexValueParam() const
{
    std::vector<SIndexValueParam> ranges;
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        SIndexValueParam r;
        r.lower = static_cast<QDoubleSpinBox*>(m_pTable->cellWidget(row, ColLower))->value();
        r.upper = static_cast<QDoubleSpinBox*>(m_pTable->cellWidget(row, ColUpper))->value();
        r.lowerExclusive =
            static_cast<QCheckBox*>(m_pTable->cellWidget(row, ColLowerExclusive))->isChecked();
        r.upperExclusive =
            static_cast<QCheckBox*>(m_pTable->cellWidget(row, ColUpperExclusive))->isChecked();
        r.colorName = static_cast<QComboBox*>(m_pTable->cellWidget(row, ColColor))
                          ->currentText()
                          .toStdString();
        r.note = size_t(row) < m_notes.size() ? m_notes[size_t(row)] : std::string();
        if (r.lower > r.upper)
            continue; // an empty range colours nothing
        ranges.push_back(r);
    }
    return ranges;
}

} // namespace TC
