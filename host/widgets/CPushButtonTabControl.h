#pragma once
// The sector bar of the browse views: a row of combined buttons, each showing a root text
// (the top-level sector) and a current text (the sector last chosen under it), with a
// drop-down of items and groups. Button n has the id 30 + n.
//
// Events, delivered upward from the button:
//   - a click on the button's text: EV_BUTTON_CLICKED (id, 0, current text);
//   - a drop-down item of id -1: it becomes the current text, then EV_BUTTON_CLICKED
//     (id, 0, item text);
//   - a drop-down item of id n >= 0 (commands such as the multi-view layouts): event
//     3081 (n, 0, item text).
//
// Buttons keep the width of their shown text. When they do not all fit, the bar scrolls
// (arrows at its right end, or the wheel) rather than squeezing them, and the current
// button is brought into view.

#include "host/toolkit/EventWidget.h"

#include <QList>
#include <QString>

class QAction;
class QMenu;
class QToolButton;

namespace XP {
class CMenu;
}

namespace TC {

class CCombinPushButton final : public XP::CBaseWidget {
    Q_OBJECT
public:
    enum { eEvNavigate = 3081 };

    CCombinPushButton(int id, const QString& rootText, QWidget* parent = nullptr);
    ~CCombinPushButton() override;

    int id() const { return m_nId; }
    QString rootText() const { return m_qsRoot; }
    // Empty shows the root text.
    void setCurText(const QString& text);
    QString curText() const { return m_qsCur; }
    QString shownText() const { return m_qsCur.isEmpty() ? m_qsRoot : m_qsCur; }
    void setImageKey(const QString& key);
    void setActive(bool on);
    bool isActive() const { return m_bActive; }

    // The drop-down; created on first use.
    XP::CMenu* menu();
    bool hasItems() const;
    void clearMenu();
    // An item in group (or at the top level); marked true shows it checked.
    QAction* addItem(const QString& text, int itemId = -1, QMenu* group = nullptr,
                     bool marked = false);
    QMenu* addGroup(const QString& name, QMenu* group = nullptr);
    // Every item, groups walked in order.
    QList<QAction*> items() const;
    // Acts as if the user chose the item with that text; false when there is none.
    bool chooseItem(const QString& text);
    void click();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void onItem(QAction* action);
    int arrowWidth() const;
    void measureText();

    int m_nId;
    QString m_qsRoot;
    QString m_qsCur;
    QString m_qsImageKey;
    int m_nTextWidth = 0; // of the shown text, measured when the text or the font changes
    bool m_bActive = false;
    XP::CMenu* m_pMenu = nullptr;
};

class CPushButtonTabControl final : public XP::CBaseWidget {
    Q_OBJECT
public:
    static constexpr int kFirstId = 30;

    explicit CPushButtonTabControl(QWidget* parent = nullptr);
    ~CPushButtonTabControl() override;

    void clear();
    CCombinPushButton* addButton(const QString& rootText, const QString& imageKey = QString());
    QList<CCombinPushButton*> buttons() const { return m_buttons; }
    int count() const { return m_buttons.size(); }
    CCombinPushButton* buttonById(int id) const;
    CCombinPushButton* buttonByRootText(const QString& rootText) const;
    void setCurrentButton(CCombinPushButton* button);
    CCombinPushButton* currentButton() const;

    // A click of one of its buttons makes it current; never consumed.
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

    // Scrolling: the offset of the first shown pixel of the button strip.
    int scrollOffset() const { return m_nOffset; }
    bool isOverflowing() const;
    void ensureVisible(CCombinPushButton* button);
    void scrollLeft();  // to the button cut at (or just past) the left edge
    void scrollRight(); // to the button cut at (or just past) the right edge

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    void themeChanged() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int stripWidth() const;
    int viewportWidth() const;
    void setOffset(int offset);
    void relayout();

    QWidget* m_pViewport;
    QToolButton* m_pLeft;
    QToolButton* m_pRight;
    QList<CCombinPushButton*> m_buttons;
    int m_nOffset = 0;
};

} // namespace TC
