#pragma once
// The host's "add to own sector" dialog: lists the user sectors under "我的", can create
// a new one, and on confirmation adds the given instruments to the chosen sector, tells
// the self-select listeners and saves the user sectors.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

namespace TC {

class CAddSelfStockDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CAddSelfStockDialog(const QStringList& codes, QWidget* parent = nullptr);
    ~CAddSelfStockDialog() override;

    QStringList codes() const { return m_codes; }
    QStringList sectorNames() const;
    QString currentSector() const;
    bool setCurrentSector(const QString& name);
    // Creates a user sector under "我的" and makes it current; false when the name is
    // empty or taken.
    bool createSector(const QString& name);
    // Instruments added by the last accept().
    int addedCount() const { return m_nAdded; }

public Q_SLOTS:
    // Adds the codes to the current sector, then closes with 1; with no sector chosen the
    // dialog stays open.
    void accept() override;

private:
    void reloadSectors(const QString& current);
    QStringList m_codes;
    QListWidget* m_pSectors;
    QLineEdit* m_pNewName;
    int m_nAdded = 0;
};

} // namespace TC
