#pragma once
// A vertical or horizontal list of widgets with spacing and margins; one widget (or
// more) may take the stretch.
#include "host/toolkit/EventWidget.h"

class QBoxLayout;

namespace XP {

class CWidgetList : public CBaseWidget {
    Q_OBJECT
public:
    explicit CWidgetList(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Vertical,
                         int spacing = 0);
    ~CWidgetList() override;

    Qt::Orientation orientation() const { return m_eOrientation; }
    void setSpacing(int spacing);
    void setMargins(int left, int top, int right, int bottom);
    void addWidget(QWidget* widget, bool stretch = false,
                   Qt::Alignment alignment = Qt::Alignment());
    void insertWidget(int index, QWidget* widget, bool stretch = false);
    // Gives the stretch to one widget already in the list.
    void setStretchWidget(QWidget* widget);
    void addSpacing(int size);
    void addStretch();
    void removeWidget(QWidget* widget);
    // Removes and deletes every item.
    void clear();
    int count() const;
    void setBackgroundColorKey(const QString& key);
    void themeChanged() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QBoxLayout* m_pLayout;
    Qt::Orientation m_eOrientation;
    QString m_qsBackKey;
};

} // namespace XP
