#pragma once
// A row (or column) of push buttons; presses travel on upward as EV_BUTTON_CLICKED (id, 0, text).
// With checkable buttons the group keeps one checked when exclusive.
#include "host/toolkit/EventWidget.h"

#include <QtCore/QMap>

class QBoxLayout;

namespace XP {

class CPushButton;

class CPushButtonGroup : public CBaseWidget {
    Q_OBJECT
public:
    explicit CPushButtonGroup(QWidget* parent = nullptr,
                              Qt::Orientation orientation = Qt::Horizontal);
    ~CPushButtonGroup() override;

    CPushButton* addButton(int id, const QString& text, int width = -1, int height = -1);
    void addSpacing(int size);
    void addStretch();
    CPushButton* button(int id) const;
    QList<int> buttonIds() const;
    void removeButton(int id);
    void clear();
    void setCheckable(bool on);
    void setExclusive(bool on) { m_bExclusive = on; }
    void setChecked(int id);
    int checkedId() const;
    void setImageKey(const QString& key);
    void setButtonImageKey(const QString& key);
    void setBackgroundColorKey(const QString& key);
    void setButtonTextColorKeys(const QString& normal, const QString& hover, const QString& press,
                                const QString& disable);
    void setButtonFontKey(const QString& key);

    // 5 from a member updates the checked button and is not consumed.
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QBoxLayout* m_pLayout;
    QMap<int, CPushButton*> m_buttons; // maps id to button
    QList<int> m_order;                // ids in insertion order
    bool m_bCheckable = false;
    bool m_bExclusive = true;
    QString m_qsImageKey, m_qsBackKey, m_qsButtonImageKey, m_qsFontKey;
    QString m_qsTextKeys[4];
};

} // namespace XP
