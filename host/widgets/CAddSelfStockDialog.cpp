#include "host/widgets/CAddSelfStockDialog.h"

#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/widgets/DialogButtons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace TC {

CAddSelfStockDialog::CAddSelfStockDialog(const QStringList& codes, QWidget* parent)
    : QDialog(parent), m_codes(codes), m_pSectors(new QListWidget(this)),
      m_pNewName(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("加入自选板块"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("将 %1 个品种加入板块:").arg(m_codes.size()), this));
    layout->addWidget(m_pSectors);
    auto* row = new QHBoxLayout;
    m_pNewName->setPlaceholderText(QStringLiteral("新板块名称"));
    auto* create = new QPushButton(QStringLiteral("新建板块"), this);
    row->addWidget(m_pNewName);
    row->addWidget(create);
    layout->addLayout(row);
    layout->addWidget(createOkCancelButtons(this));
    connect(create, &QPushButton::clicked, this, [this] {
        if (createSector(m_pNewName->text().trimmed()))
            m_pNewName->clear();
    });
    reloadSectors(QString());
    resize(280, 360);
}

CAddSelfStockDialog::~CAddSelfStockDialog() = default;

void CAddSelfStockDialog::reloadSectors(const QString& current)
{
    m_pSectors->clear();
    for (CSectorDetail* s : CSectorManager::instance()->getUserSectors())
        m_pSectors->addItem(s->getName());
    if (!setCurrentSector(current) && m_pSectors->count() > 0)
        m_pSectors->setCurrentRow(0);
}

QStringList CAddSelfStockDialog::sectorNames() const
{
    QStringList out;
    for (int i = 0; i < m_pSectors->count(); ++i)
        out.append(m_pSectors->item(i)->text());
    return out;
}

QString CAddSelfStockDialog::currentSector() const
{
    const QListWidgetItem* item = m_pSectors->currentItem();
    return item ? item->text() : QString();
}

bool CAddSelfStockDialog::setCurrentSector(const QString& name)
{
    const QList<QListWidgetItem*> found = m_pSectors->findItems(name, Qt::MatchExactly);
    if (name.isEmpty() || found.isEmpty())
        return false;
    m_pSectors->setCurrentItem(found.first());
    return true;
}

bool CAddSelfStockDialog::createSector(const QString& name)
{
    if (!CSectorManager::instance()->addUserSector(name))
        return false;
    reloadSectors(name);
    return true;
}

void CAddSelfStockDialog::accept()
{
    const QString sector = currentSector();
    if (sector.isEmpty())
        return;
    CSectorManager* m = CSectorManager::instance();
    m_nAdded = m->addStockListToSector(sector, m_codes);
    if (m_nAdded > 0) {
        m->updateSelfSelect(0, m_codes);
        m->saveUserSectors();
    }
    QDialog::accept();
}

} // namespace TC
