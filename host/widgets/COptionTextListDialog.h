#pragma once
// The host's option-list dialog: the fields of a sector with their default values, and
// a line to add new ones. exec() returns 1 (QDialog::Accepted) when confirmed; the fields
// added in this session are then in addedFields().

#include "host/toolkit/CommonDialog.h"

#include <QList>
#include <QPair>
#include <QString>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace TC {

class COptionTextListDialog : public XP::CCommonDialog {
    Q_OBJECT
public:
    using Field = QPair<QString, QString>; // name, default value text

    explicit COptionTextListDialog(const QString& title, QWidget* parent = nullptr);
    ~COptionTextListDialog() override;

    void setSectorName(const QString& sector);
    QString sectorName() const;
    // The sector's current fields, listed read-only above the new ones.
    void setFields(const QList<Field>& fields);
    QList<Field> fields() const;
    QList<Field> addedFields() const;
    // Adds a row; false, with the reason shown and in lastError(), for an invalid or
    // duplicate name or a default that is not a number.
    bool addField(const QString& name, const QString& defaultValue);
    QString lastError() const;
    // A name still in the entry line is added first; a rejected one keeps the dialog open.
    void accept() override;

private:
    void slotAddClicked();
    void appendRow(const Field& field, bool fixed);

    QString m_qsSector;
    QLabel* m_pSectorLabel;
    QTableWidget* m_pTable;
    QLineEdit* m_pName;
    QLineEdit* m_pDefault;
    QLabel* m_pError;
    int m_nFixedRows = 0;
};

} // namespace TC
