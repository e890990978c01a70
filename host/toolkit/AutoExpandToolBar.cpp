#include "host/toolkit/AutoExpandToolBar.h"

#include "host/toolkit/Menu.h"
#include "host/toolkit/WidgetBackground.h"

#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QFrame>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QToolButton>

#include <utility>

namespace XP {

CAutoExpandToolBar::CAutoExpandToolBar(QWidget* parent, const QString& imageKey)
    : CBaseWidget(parent), m_qsImageKey(imageKey) {
    m_pLayout = new QHBoxLayout(this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(2);
    m_pLayout->setSizeConstraint(QLayout::SetNoConstraint);
    m_pExpand = new QToolButton(this);
    m_pExpand->setText(QStringLiteral("»"));
    m_pExpand->setPopupMode(QToolButton::InstantPopup);
    m_pExpand->setMenu(new CMenu(m_pExpand));
    m_pExpand->hide();
    connect(m_pExpand->menu(), &QMenu::aboutToShow, this, [this] {
        QMenu* menu = m_pExpand->menu();
        menu->clear();
        // buttons that did not fit are offered by their text
        for (QWidget* w : qAsConst(m_overflow)) {
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                QAction* a = menu->addAction(b->text());
                connect(a, &QAction::triggered, b, &QAbstractButton::click);
            }
        }
    });
}

CAutoExpandToolBar::~CAutoExpandToolBar() = default;

void CAutoExpandToolBar::addWidget(QWidget* widget) {
    if (!widget)
        return;
    m_pLayout->addWidget(widget);
    m_items.append(widget);
    relayout();
}

void CAutoExpandToolBar::addSeparator() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFixedWidth(1);
    addWidget(line);
}

void CAutoExpandToolBar::addSpacing(int size) {
    m_pLayout->addSpacing(size);
}
void CAutoExpandToolBar::addStretch() {
    m_pLayout->addStretch(1);
}

void CAutoExpandToolBar::setBackgroundColorKey(const QString& key) {
    m_qsBackKey = key;
    update();
}

void CAutoExpandToolBar::setImageKey(const QString& key) {
    m_qsImageKey = key;
    update();
}

QList<QWidget*> CAutoExpandToolBar::overflowWidgets() const {
    return m_overflow;
}

void CAutoExpandToolBar::themeChanged() {
    update();
}

QSize CAutoExpandToolBar::minimumSizeHint() const {
    return QSize(m_pExpand->sizeHint().width(), CBaseWidget::minimumSizeHint().height());
}

void CAutoExpandToolBar::relayout() {
    // showing or hiding an item can resize the bar and run this again: walk copies
    const QList<QWidget*> hidden = std::exchange(m_overflow, QList<QWidget*>());
    for (QWidget* w : hidden)
        w->show();
    const int expandWidth = m_pExpand->sizeHint().width();
    int used = 0;
    bool overflow = false;
    for (QWidget* w : qAsConst(m_items)) {
        if (w->isHidden())
            continue;
        const int need = w->sizeHint().width() + m_pLayout->spacing();
        if (overflow || used + need > width() - expandWidth) {
            overflow = true;
            m_overflow.append(w);
            continue;
        }
        used += need;
    }
    // everything fits when the expand button is not needed
    if (overflow && used + expandWidth <= width()) {
        int total = used;
        for (QWidget* w : qAsConst(m_overflow))
            total += w->sizeHint().width() + m_pLayout->spacing();
        if (total <= width())
            m_overflow.clear();
    }
    const QList<QWidget*> overflowing = m_overflow;
    for (QWidget* w : overflowing)
        w->hide();
    m_pExpand->setVisible(!m_overflow.isEmpty());
    m_pExpand->setGeometry(width() - expandWidth, 0, expandWidth, height());
    m_pExpand->raise();
}

void CAutoExpandToolBar::resizeEvent(QResizeEvent* event) {
    CBaseWidget::resizeEvent(event);
    if (isVisible() || width() > 0)
        relayout();
}

void CAutoExpandToolBar::paintEvent(QPaintEvent* event) {
    paintWidgetBackground(this, event, m_qsBackKey, m_qsImageKey);
}

} // namespace XP
