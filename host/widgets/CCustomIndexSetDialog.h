#pragma once
// The host's sector-index editor: name, constituents and their weights (percent) of a
// custom index. accept() checks the form and stores the index with CIndexManager (a new
// index gets a free code); the form stays open with an error text when it is not valid.

#include "host/data/IndexManager.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace TC {

class CCustomIndexSetDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CCustomIndexSetDialog(QWidget* parent = nullptr);
    ~CCustomIndexSetDialog() override;

    // An empty form for a new index.
    void clear();
    void setIndexName(const QString& name);
    QString indexName() const;
    // Loads an existing index for editing; saving replaces it under its code.
    void setIndexDetail(const CCustomIndexDetail& index);
    // The form's content; the code is empty for a new index until it is saved.
    CCustomIndexDetail indexDetail() const;

    // A catalogue instrument (key or code) as a constituent; false when unknown or held.
    bool addStock(const QString& keyOrCode, double weight = 1.0);
    bool removeStock(const QString& keyOrCode);
    bool setWeight(const QString& keyOrCode, double weight);
    // Every constituent gets 100 / count.
    void setEqualWeights();
    QString errorText() const;

public Q_SLOTS:
    void accept() override;

Q_SIGNALS:
    void sigIndexSaved(const QString& code);

private:
    int rowOf(const QString& keyOrCode) const;
    void appendRow(const QString& market, const QString& code, const QString& name, double weight);
    bool validate(CCustomIndexDetail& out);

    QString m_qsCode; // the edited index's code, empty for a new one
    CCustomIndexDetail m_base;
    QLineEdit* m_pName;
    QTableWidget* m_pStocks;
    QLineEdit* m_pAddCode;
    QLabel* m_pError;
};

} // namespace TC
