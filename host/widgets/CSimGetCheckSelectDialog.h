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

    // Runs the dialog modally over parent and puts the texts ticked on OK in chosen (none
    // on cancel); the dialog is gone on return. False when parent went away during the
    // dialog: the caller must not touch it then.
    static bool pick(QWidget* parent, const QString& title, const QStringList& items,
                     QStringList& chosen);

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
