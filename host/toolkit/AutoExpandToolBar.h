#pragma once
// Horizontal tool bar. Widgets that do not fit are hidden and offered in the menu of an
// expand button at the right end.
#include "host/toolkit/EventWidget.h"

#include <QtCore/QList>

class QHBoxLayout;
class QToolButton;

namespace XP {

class CAutoExpandToolBar : public CBaseWidget {
    Q_OBJECT
public:
    explicit CAutoExpandToolBar(QWidget* parent = nullptr, const QString& imageKey = QString());
    ~CAutoExpandToolBar() override;

    void addWidget(QWidget* widget);
    void addSeparator();
    void addSpacing(int size);
    void addStretch();
    void setBackgroundColorKey(const QString& key);
    void setImageKey(const QString& key);
    // Widgets hidden for lack of room.
    QList<QWidget*> overflowWidgets() const;
    void themeChanged() override;
    // Only the expand button must fit: the rest overflows.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    QHBoxLayout* m_pLayout;
    QToolButton* m_pExpand;
    QList<QWidget*> m_items;    // added widgets and separators, in order
    QList<QWidget*> m_overflow; // hidden for lack of room
    QString m_qsImageKey, m_qsBackKey;
};

} // namespace XP
