#include "host/widgets/COptionTextListDialog.h"

#include "host/data/FormulaTypes.h"
#include "host/widgets/DialogButtons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace TC {

COptionTextListDialog::COptionTextListDialog(const QString& title, QWidget* parent)
    : XP::CCommonDialog(parent, title), m_pSectorLabel(new QLabel(contentWidget())),
      m_pTable(new QTableWidget(0, 2, contentWidget())), m_pName(new QLineEdit(contentWidget())),
      m_pDefault(new QLineEdit(QStringLiteral("0"), contentWidget())),
      m_pError(new QLabel(contentWidget()))
{
    setWindowTitle(title);
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("字段名"), QStringLiteral("默认值")});
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->verticalHeader()->hide();
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pName->setPlaceholderText(QStringLiteral("字段名"));
    m_pName->setMaxLength(se::FieldParams::kMaxFieldNameLength);
    m_pDefault->setPlaceholderText(QStringLiteral("默认值"));
    auto* add = new QPushButton(QStringLiteral("添加"), contentWidget());
    connect(add, &QPushButton::clicked, this, &COptionTextListDialog::slotAddClicked);
    m_pError->setStyleSheet(QStringLiteral("color: #d04040"));

    auto* line = new QHBoxLayout;
    line->addWidget(m_pName, 2);
    line->addWidget(m_pDefault, 1);
    line->addWidget(add);
    contentLayout()->addWidget(m_pSectorLabel);
    contentLayout()->addWidget(m_pTable);
    contentLayout()->addLayout(line);
    contentLayout()->addWidget(m_pError);
    contentLayout()->addWidget(createOkCancelButtons(this));
    resize(360, 320);
}

COptionTextListDialog::~COptionTextListDialog() = default;

void COptionTextListDialog::setSectorName(const QString& sector)
{
    m_qsSector = sector;
    m_pSectorLabel->setText(QStringLiteral("板块：%1").arg(sector));
}

QString COptionTextListDialog::sectorName() const
{
    return m_qsSector;
}

void COptionTextListDialog::appendRow(const Field& field, bool fixed)
{
    const int row = m_pTable->rowCount();
    m_pTable->insertRow(row);
    m_pTable->setItem(row, 0, new QTableWidgetItem(field.first));
    m_pTable->setItem(row, 1, new QTableWidgetItem(field.second));
    if (fixed)
        ++m_nFixedRows;
}

void COptionTextListDialog::setFields(const QList<Field>& fields)
{
    m_pTable->setRowCount(0);
    m_nFixedRows = 0;
    for (const Field& f : fields)
        appendRow(f, true);
}

QList<COptionTextListDialog::Field> COptionTextListDialog::fields() const
{
    QList<Field> out;
    for (int r = 0; r < m_pTable->rowCount(); ++r)
        out.append({m_pTable->item(r, 0)->text(), m_pTable->item(r, 1)->text()});
    return out;
}

QList<COptionTextListDialog::Field> COptionTextListDialog::addedFields() const
{
    return fields().mid(m_nFixedRows);
}

bool COptionTextListDialog::addField(const QString& name, const QString& defaultValue)
{
    QString why;
    const QString field = name.trimmed();
    if (!se::FieldParams::isValidFieldName(field, &why)) {
        // the reason stays in the dialog for the user
    } else if (!se::FieldParams::parseValue(defaultValue, nullptr)) {
        why = QStringLiteral("默认值必须是数字");
    } else {
        for (const Field& f : fields()) {
            if (f.first == field)
                why = QStringLiteral("字段已存在");
        }
    }
    m_pError->setText(why);
    if (!why.isEmpty())
        return false;
    appendRow({field, defaultValue.trimmed()}, false);
    return true;
}

QString COptionTextListDialog::lastError() const
{
    return m_pError->text();
}

void COptionTextListDialog::accept()
{
    if (!m_pName->text().trimmed().isEmpty() && !addField(m_pName->text(), m_pDefault->text()))
        return;
    m_pName->clear();
    XP::CCommonDialog::accept();
}

void COptionTextListDialog::slotAddClicked()
{
    if (addField(m_pName->text(), m_pDefault->text()))
        m_pName->clear();
}

} // namespace TC
