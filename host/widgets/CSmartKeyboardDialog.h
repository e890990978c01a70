#pragma once
// The host's smart keyboard: a small window that opens on the first typed key and finds
// instruments by code, by letters of the code or by the pinyin initials of the name;
// Up/Down/PageUp/PageDown choose, Enter picks, Escape closes. One window serves the whole
// application. The panel that opens it binds its selection callback together with
// itself as owner: a callback whose owner is gone is never called, and an owner clears
// the binding on destruction (clearSelectCallback only clears its own).

#include "host/data/StockInfo.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QLineEdit;
class QListWidget;

namespace TC {

class CSmartKeyboardDialog final : public QDialog {
    Q_OBJECT
public:
    using SelectCallback = std::function<void(const CStockInfo&, ESmartKeyType)>;

    // Created on first use; deleted when the application object goes.
    static CSmartKeyboardDialog* instance();

    void setSelectCallback(QObject* owner, SelectCallback callback);
    // Drops the binding when owner holds it; another owner's binding stays.
    void clearSelectCallback(const QObject* owner);
    bool isBoundTo(const QObject* owner) const;

    void setTitle(const QString& title);
    // Starts the search with the key's text and places the window at the anchor's
    // bottom-right corner (or the screen's centre without one).
    void setKeyEvent(QKeyEvent* event, QWidget* anchor);
    void setSearchText(const QString& text);
    QString searchText() const;

    QList<CStockInfo> candidates() const { return m_candidates; }
    int currentIndex() const;
    // Picks the current candidate: the window hides, then the bound callback runs.
    // False when there is none.
    bool chooseCurrent();

    // Instruments of the catalogue and the custom indices for a text, best first: code
    // prefix, pinyin-initials prefix, code contains, name or initials contain; catalogue
    // order within each. At most limit entries.
    static QList<CStockInfo> search(const QString& text, int limit = 50);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CSmartKeyboardDialog();
    ~CSmartKeyboardDialog() override;
    static void destroyInstance();
    void refresh();
    bool moveCurrent(int key);

    QLineEdit* m_pEdit;
    QListWidget* m_pList;
    QList<CStockInfo> m_candidates;
    QPointer<QObject> m_owner;
    bool m_bBound = false;
    SelectCallback m_callback;
};

} // namespace TC
