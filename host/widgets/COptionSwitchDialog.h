#pragma once
// The host's small form dialog: a title and rows of labelled text fields and choices,
// each known by a key. exec() returns 1 when confirmed; getData() then hands the values.

#include <QDialog>
#include <QMap>
#include <QStringList>

class QComboBox;
class QFormLayout;
class QLineEdit;

namespace TC {

class COptionSwitchDialog final : public QDialog {
    Q_OBJECT
public:
    explicit COptionSwitchDialog(const QString& title, QWidget* parent = nullptr);
    ~COptionSwitchDialog() override;

    void addTextField(const QString& key, const QString& label, const QString& value = QString());
    // current defaults to the first choice.
    void addChoiceField(const QString& key, const QString& label, const QStringList& choices,
                        const QString& current = QString());
    // False for an unknown key or a value that is not one of the field's choices.
    bool setValue(const QString& key, const QString& value);
    QString value(const QString& key) const;
    QStringList keys() const { return m_keys; }
    // The values by key, text trimmed; false (out untouched) when a text field is empty.
    bool getData(QMap<QString, QString>& out) const;

private:
    QFormLayout* m_pForm;
    QStringList m_keys;
    QMap<QString, QLineEdit*> m_texts;
    QMap<QString, QComboBox*> m_choices;
};

} // namespace TC
