#pragma once
// The host's thin scroll bar for custom-painted lists: a groove and a slider drawn in
// theme colours, no arrow buttons. Every value change is delivered upward as event 17
// (value, 0), so the owner handles it like any other host event.

#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QAbstractSlider>

namespace TC {

class CIndexScrollBar : public XP::CEventWidgetT<QAbstractSlider>,
                        public XP::CUiResourceChangeHandler {
    Q_OBJECT
public:
    enum { Event_ValueChanged = 17 };

    explicit CIndexScrollBar(Qt::Orientation orientation = Qt::Vertical, QWidget* parent = nullptr);
    ~CIndexScrollBar() override;

    // The slider in widget coordinates; its length follows pageStep / (range + pageStep).
    QRect sliderRect() const;
    QSize sizeHint() const override;
    void themeChanged() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int grooveLength() const;
    int sliderLength() const;
    int along(const QPoint& p) const;

    int m_nDragOffset = -1; // press point within the slider while dragging, else -1
    bool m_bHover = false;
    double m_dWheelRest = 0.0; // part of a step left by fine-grained wheels
};

} // namespace TC
