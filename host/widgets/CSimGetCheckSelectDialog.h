#pragma once
// The host's check-list dialog: a title and a list of texts to tick. exec() returns 1
// (QDialog::Accepted) when the user confirms; the ticked texts are then in checkedItems().

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace TC {

class CSimGetCheckSelectDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSimGetCheckSelectDialog(const QString& title, QWidget* parent = nullptr);
    ~CSimGetCheckSelectDialog() override;

    // Replaces the list; texts in checked start ticked.
    void setItems(const QStringList& items, const QStringList& checked = QStringList());
    QStringList items() const;
    void setChecked(const QString& item, bool on);
    // The ticked texts in list order.
    QStringList checkedItems() const;

private:
    QListWidget* m_pList;
};

} // namespace TC
