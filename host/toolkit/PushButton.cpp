#include "host/toolkit/PushButton.h"

#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QFont>

namespace XP {

namespace {
QString colorOf(const QString& key) {
    const QColor* c = key.isEmpty() ? nullptr : CUiResource::instance().getColor(key);
    return c ? c->name(QColor::HexArgb) : QString();
}
} // namespace

CPushButton::CPushButton(int id, const QString& text, QWidget* parent)
    : CEventWidgetT<QPushButton>(text, parent), m_nId(id) {
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this,
            [this] { deliverEvent(EV_BUTTON_CLICKED, m_nId, 0, this->text()); });
    applyStyle();
}

CPushButton::~CPushButton() = default;

void CPushButton::setImageKey(const QString& key) {
    m_qsImageKey = key;
    applyStyle();
}

void CPushButton::setFontKey(const QString& key) {
    m_qsFontKey = key;
    applyStyle();
}

void CPushButton::setTextColorKeys(const QString& normal, const QString& hover,
                                   const QString& press, const QString& disable) {
    m_qsText[0] = normal;
    m_qsText[1] = hover;
    m_qsText[2] = press;
    m_qsText[3] = disable;
    applyStyle();
}

void CPushButton::setBackgroundColorKeys(const QString& normal, const QString& hover,
                                         const QString& selected, const QString& base) {
    m_qsBack[0] = normal;
    m_qsBack[1] = hover;
    m_qsBack[2] = selected;
    m_qsBack[3] = base;
    applyStyle();
}

void CPushButton::themeChanged() {
    applyStyle();
}

void CPushButton::applyStyle() {
    // an image key paints as the normal background when no colour is given
    const QString image = m_qsImageKey.isEmpty() || !CUiResource::instance().hasImage(m_qsImageKey)
                              ? QString()
                              : CUiResource::instance()
                                    .getPixmap(m_qsImageKey, QSize(1, 1))
                                    .toImage()
                                    .pixelColor(0, 0)
                                    .name(QColor::HexArgb);
    const QString back[4] = {colorOf(m_qsBack[0]).isEmpty() ? image : colorOf(m_qsBack[0]),
                             colorOf(m_qsBack[1]), colorOf(m_qsBack[2]), colorOf(m_qsBack[3])};
    const QString text[4] = {colorOf(m_qsText[0]), colorOf(m_qsText[1]), colorOf(m_qsText[2]),
                             colorOf(m_qsText[3])};
    QString sheet = QStringLiteral("QPushButton{border:none;padding:0 6px;");
    if (!back[0].isEmpty())
        sheet += QStringLiteral("background:") + back[0] + QLatin1Char(';');
    else if (!back[3].isEmpty())
        sheet += QStringLiteral("background:") + back[3] + QLatin1Char(';');
    if (!text[0].isEmpty())
        sheet += QStringLiteral("color:") + text[0] + QLatin1Char(';');
    sheet += QLatin1Char('}');
    auto state = [&sheet](const char* sel, const QString& bg, const QString& fg) {
        if (bg.isEmpty() && fg.isEmpty())
            return;
        sheet += QLatin1String("QPushButton") + QLatin1String(sel) + QLatin1Char('{');
        if (!bg.isEmpty())
            sheet += QStringLiteral("background:") + bg + QLatin1Char(';');
        if (!fg.isEmpty())
            sheet += QStringLiteral("color:") + fg + QLatin1Char(';');
        sheet += QLatin1Char('}');
    };
    state(":hover", back[1], text[1]);
    state(":pressed", back[2], text[2]);
    state(":checked", back[2], text[2]);
    state(":disabled", QString(), text[3]);
    setStyleSheet(sheet);
    if (!m_qsFontKey.isEmpty())
        setFont(CUiResource::instance().getFont(m_qsFontKey));
}

} // namespace XP
