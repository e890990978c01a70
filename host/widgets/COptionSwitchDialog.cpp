#include "host/widgets/COptionSwitchDialog.h"

#include "host/widgets/DialogButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace TC {

COptionSwitchDialog::COptionSwitchDialog(const QString& title, QWidget* parent)
    : QDialog(parent), m_pForm(new QFormLayout)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_pForm);
    layout->addWidget(createOkCancelButtons(this));
}

COptionSwitchDialog::~COptionSwitchDialog() = default;

void COptionSwitchDialog::addTextField(const QString& key, const QString& label,
                                       const QString& value)
{
    if (m_keys.contains(key))
        return;
    auto* edit = new QLineEdit(value, this);
    m_pForm->addRow(label, edit);
    m_texts.insert(key, edit);
    m_keys.append(key);
}

void COptionSwitchDialog::addChoiceField(const QString& key, const QString& label,
                                         const QStringList& choices, const QString& current)
{
    if (m_keys.contains(key))
        return;
    auto* box = new QComboBox(this);
    box->addItems(choices);
    if (!current.isEmpty() && choices.contains(current))
        box->setCurrentText(current);
    m_pForm->addRow(label, box);
    m_choices.insert(key, box);
    m_keys.append(key);
}

bool COptionSwitchDialog::setValue(const QString& key, const QString& value)
{
    if (QLineEdit* edit = m_texts.value(key)) {
        edit->setText(value);
        return true;
    }
    QComboBox* box = m_choices.value(key);
    const int at = box ? box->findText(value) : -1;
    if (at < 0)
        return false;
    box->setCurrentIndex(at);
    return true;
}

QString COptionSwitchDialog::value(const QString& key) const
{
    if (const QLineEdit* edit = m_texts.value(key))
        return edit->text().trimmed();
    const QComboBox* box = m_choices.value(key);
    return box ? box->currentText() : QString();
}

bool COptionSwitchDialog::getData(QMap<QString, QString>& out) const
{
    QMap<QString, QString> values;
    for (const QString& key : m_keys) {
        values.insert(key, value(key));
        if (m_texts.contains(key) && values.value(key).isEmpty())
            return false;
    }
    out = values;
    return true;
}

} // namespace TC
