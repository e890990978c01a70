#include "host/toolkit/SimpleTextWidget.h"

#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QPainter>

namespace XP {

CSimpleTextWidget::CSimpleTextWidget(QWidget* parent, const QString& text)
    : CBaseWidget(parent), m_qsText(text), m_qsColorKey(QStringLiteral("ic_clr_widget_text")) {}

CSimpleTextWidget::~CSimpleTextWidget() = default;

void CSimpleTextWidget::setText(const QString& text) {
    if (text == m_qsText)
        return;
    m_qsText = text;
    updateGeometry();
    update();
}

void CSimpleTextWidget::setFontKey(const QString& key) {
    m_qsFontKey = key;
    setFont(CUiResource::instance().getFont(key));
    updateGeometry();
    update();
}

void CSimpleTextWidget::setTextColorKey(const QString& key) {
    m_qsColorKey = key;
    update();
}

void CSimpleTextWidget::setAlignment(Qt::Alignment alignment) {
    m_align = alignment;
    update();
}

QSize CSimpleTextWidget::sizeHint() const {
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_qsText) + 4, fm.height() + 2);
}

void CSimpleTextWidget::themeChanged() {
    if (!m_qsFontKey.isEmpty())
        setFont(CUiResource::instance().getFont(m_qsFontKey));
    update();
}

void CSimpleTextWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor* c = CUiResource::instance().getColor(m_qsColorKey);
    p.setPen(c ? *c : palette().color(QPalette::WindowText));
    p.drawText(rect(), int(m_align), m_qsText);
}

} // namespace XP
