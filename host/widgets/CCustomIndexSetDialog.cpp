#include "host/widgets/CCustomIndexSetDialog.h"

#include "host/data/StockManager.h"
#include "host/widgets/DialogButtons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace TC {

namespace {
enum { eColCode, eColName, eColWeight, eColCount };
constexpr int kMarketRole = Qt::UserRole;
} // namespace

CCustomIndexSetDialog::CCustomIndexSetDialog(QWidget* parent)
    : QDialog(parent), m_pName(new QLineEdit(this)),
      m_pStocks(new QTableWidget(0, eColCount, this)), m_pAddCode(new QLineEdit(this)),
      m_pError(new QLabel(this))
{
    setWindowTitle(QStringLiteral("板块指数"));
    auto* layout = new QVBoxLayout(this);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("名称"), this));
    nameRow->addWidget(m_pName);
    layout->addLayout(nameRow);
    m_pStocks->setHorizontalHeaderLabels(
        {QStringLiteral("代码"), QStringLiteral("名称"), QStringLiteral("权重(%)")});
    m_pStocks->horizontalHeader()->setStretchLastSection(true);
    m_pStocks->verticalHeader()->hide();
    m_pStocks->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(m_pStocks);
    auto* editRow = new QHBoxLayout;
    m_pAddCode->setPlaceholderText(QStringLiteral("代码"));
    auto* add = new QPushButton(QStringLiteral("添加"), this);
    auto* remove = new QPushButton(QStringLiteral("删除"), this);
    auto* equal = new QPushButton(QStringLiteral("等权"), this);
    editRow->addWidget(m_pAddCode);
    editRow->addWidget(add);
    editRow->addWidget(remove);
    editRow->addWidget(equal);
    layout->addLayout(editRow);
    m_pError->setStyleSheet(QStringLiteral("color: #d04040"));
    layout->addWidget(m_pError);
    layout->addWidget(createOkCancelButtons(this));
    connect(add, &QPushButton::clicked, this, [this] {
        if (addStock(m_pAddCode->text().trimmed()))
            m_pAddCode->clear();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_pStocks->currentRow();
        if (row >= 0)
            m_pStocks->removeRow(row);
    });
    connect(equal, &QPushButton::clicked, this, &CCustomIndexSetDialog::setEqualWeights);
    resize(360, 420);
}

CCustomIndexSetDialog::~CCustomIndexSetDialog() = default;

void CCustomIndexSetDialog::clear()
{
    m_qsCode.clear();
    m_base = CCustomIndexDetail();
    m_pName->clear();
    m_pStocks->setRowCount(0);
    m_pAddCode->clear();
    m_pError->clear();
}

void CCustomIndexSetDialog::setIndexName(const QString& name)
{
    m_pName->setText(name);
}

QString CCustomIndexSetDialog::indexName() const
{
    return m_pName->text().trimmed();
}

void CCustomIndexSetDialog::setIndexDetail(const CCustomIndexDetail& index)
{
    clear();
    m_qsCode = index.code;
    m_base = index;
    m_pName->setText(index.name);
    CStockManager* sm = CStockManager::instance();
    for (const CCustomIndexStock& s : index.stocks) {
        const auto d = sm->getInstrumentDetail(s.market, s.code);
        appendRow(s.market, s.code, d ? d->name : QString(), s.weight);
    }
}

void CCustomIndexSetDialog::appendRow(const QString& market, const QString& code,
                                      const QString& name, double weight)
{
    const int row = m_pStocks->rowCount();
    m_pStocks->insertRow(row);
    auto* codeItem = new QTableWidgetItem(code);
    codeItem->setData(kMarketRole, market);
    codeItem->setFlags(codeItem->flags() & ~Qt::ItemIsEditable);
    auto* nameItem = new QTableWidgetItem(name);
    nameItem->setFlags(nameItem->flags() & ~Qt::ItemIsEditable);
    m_pStocks->setItem(row, eColCode, codeItem);
    m_pStocks->setItem(row, eColName, nameItem);
    m_pStocks->setItem(row, eColWeight, new QTableWidgetItem(QString::number(weight)));
}

CCustomIndexDetail CCustomIndexSetDialog::indexDetail() const
{
    CCustomIndexDetail out = m_base;
    out.code = m_qsCode;
    out.name = indexName();
    out.stocks.clear();
    for (int row = 0; row < m_pStocks->rowCount(); ++row) {
        const QTableWidgetItem* code = m_pStocks->item(row, eColCode);
        const QTableWidgetItem* weight = m_pStocks->item(row, eColWeight);
        bool ok = false;
        const double w = weight ? weight->text().toDouble(&ok) : 0.0;
        out.stocks.push_back(
            {code->data(kMarketRole).toString(), code->text(), ok ? w : std::nan("")});
    }
    return out;
}

int CCustomIndexSetDialog::rowOf(const QString& keyOrCode) const
{
    const auto d = CStockManager::instance()->findByCode(keyOrCode);
    if (!d)
        return -1;
    for (int row = 0; row < m_pStocks->rowCount(); ++row) {
        const QTableWidgetItem* code = m_pStocks->item(row, eColCode);
        if (code->text() == d->code && code->data(kMarketRole).toString() == d->market)
            return row;
    }
    return -1;
}

bool CCustomIndexSetDialog::addStock(const QString& keyOrCode, double weight)
{
    const auto d = CStockManager::instance()->findByCode(keyOrCode);
    if (!d || rowOf(keyOrCode) >= 0)
        return false;
    appendRow(d->market, d->code, d->name, weight);
    return true;
}

bool CCustomIndexSetDialog::removeStock(const QString& keyOrCode)
{
    const int row = rowOf(keyOrCode);
    if (row < 0)
        return false;
    m_pStocks->removeRow(row);
    return true;
}

bool CCustomIndexSetDialog::setWeight(const QString& keyOrCode, double weight)
{
    const int row = rowOf(keyOrCode);
    if (row < 0)
        return false;
    m_pStocks->item(row, eColWeight)->setText(QString::number(weight));
    return true;
}

void CCustomIndexSetDialog::setEqualWeights()
{
    const int n = m_pStocks->rowCount();
    for (int row = 0; row < n; ++row)
        m_pStocks->item(row, eColWeight)->setText(QString::number(100.0 / n));
}

QString CCustomIndexSetDialog::errorText() const
{
    return m_pError->text();
}

bool CCustomIndexSetDialog::validate(CCustomIndexDetail& out)
{
    out = indexDetail();
    QString error;
    CIndexManager* im = CIndexManager::instance();
    const CCustomIndexDetailPtr sameName = [&]() -> CCustomIndexDetailPtr {
        for (const CCustomIndexDetailPtr& i : im->allIndices())
            if (i->name == out.name)
                return i;
        return nullptr;
    }();
    if (out.name.isEmpty())
        error = QStringLiteral("请输入指数名称");
    else if (sameName && sameName->code != out.code)
        error = QStringLiteral("指数名称已存在");
    else if (out.stocks.empty())
        error = QStringLiteral("请添加成分股");
    for (const CCustomIndexStock& s : out.stocks)
        if (error.isEmpty() && !(std::isfinite(s.weight) && s.weight > 0))
            error = QStringLiteral("权重须为正数: %1").arg(s.code);
    m_pError->setText(error);
    return error.isEmpty();
}

void CCustomIndexSetDialog::accept()
{
    CCustomIndexDetail index;
    if (!validate(index))
        return;
    CIndexManager* im = CIndexManager::instance();
    if (index.code.isEmpty())
        index.code = im->nextFreeCode();
    if (!im->addIndex(index)) {
        m_pError->setText(QStringLiteral("保存失败"));
        return;
    }
    m_qsCode = index.code;
    Q_EMIT sigIndexSaved(index.code);
    QDialog::accept();
}

} // namespace TC
