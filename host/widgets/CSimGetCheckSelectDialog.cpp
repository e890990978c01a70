#include "host/widgets/CSimGetCheckSelectDialog.h"

#include "host/widgets/DialogButtons.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace TC {

CSimGetCheckSelectDialog::CSimGetCheckSelectDialog(const QString& title, QWidget* parent)
    : QDialog(parent), m_pList(new QListWidget(this))
{
    setWindowTitle(title);
    QDialogButtonBox* buttons = createOkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(buttons);
    resize(280, 360);
}

CSimGetCheckSelectDialog::~CSimGetCheckSelectDialog() = default;

bool CSimGetCheckSelectDialog::pick(QWidget* parent, const QString& title, const QStringList& items,
                                    QStringList& chosen)
{
    QPointer<QWidget> owner(parent);
    QPointer<CSimGetCheckSelectDialog> dialog(new CSimGetCheckSelectDialog(title, parent));
    dialog->setItems(items);
    const int result = dialog->exec();
    if (!owner)
        return false; // the parent (and the dialog with it) went away during the dialog
    chosen.clear();
    if (dialog && result == QDialog::Accepted)
        chosen = dialog->checkedItems();
    delete dialog.data();
    return true;
}

void CSimGetCheckSelectDialog::setItems(const QStringList& items, const QStringList& checked)
{
    m_pList->clear();
    for (const QString& text : items) {
        auto* item = new QListWidgetItem(text, m_pList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(text) ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList CSimGetCheckSelectDialog::items() const
{
    QStringList out;
    for (int i = 0; i < m_pList->count(); ++i)
        out.append(m_pList->item(i)->text());
    return out;
}

void CSimGetCheckSelectDialog::setChecked(const QString& text, bool on)
{
    for (int i = 0; i < m_pList->count(); ++i) {
        if (m_pList->item(i)->text() == text)
            m_pList->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList CSimGetCheckSelectDialog::checkedItems() const
{
    QStringList out;
    for (int i = 0; i < m_pList->count(); ++i) {
        if (m_pList->item(i)->checkState() == Qt::Checked)
            out.append(m_pList->item(i)->text());
    }
    return out;
}

} // namespace TC
