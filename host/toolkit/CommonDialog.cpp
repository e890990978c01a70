#include "host/toolkit/CommonDialog.h"

#include "host/toolkit/PushButton.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QVBoxLayout>

namespace XP {

namespace {
// outside the ids derived dialogs give their own buttons
constexpr int kCloseButtonId = -1;
} // namespace

CCommonDialog::CCommonDialog(QWidget* parent, const QString& title)
    : CEventWidgetT<QDialog>(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pTitleLine = new QWidget(this);
    m_pTitleLine->setObjectName(QStringLiteral("common_dialog_title"));
    auto* titleLayout = new QHBoxLayout(m_pTitleLine);
    titleLayout->setContentsMargins(8, 0, 4, 0);
    m_pTitle = new CSimpleTextWidget(m_pTitleLine, title);
    m_pTitle->setFontKey(QStringLiteral("ic_fnt_dialog_title"));
    m_pTitle->setTextColorKey(QStringLiteral("ic_clr_dialog_title_text"));
    titleLayout->addWidget(m_pTitle, 1);
    auto* close = new CPushButton(kCloseButtonId, QStringLiteral("×"), m_pTitleLine);
    close->setFixedSize(24, 24);
    titleLayout->addWidget(close);
    layout->addWidget(m_pTitleLine);
    m_pContent = new QWidget(this);
    m_pContentLayout = new QVBoxLayout(m_pContent);
    layout->addWidget(m_pContent, 1);
    setWindowTitle(title);
    themeChanged();
}

CCommonDialog::~CCommonDialog() = default;

void CCommonDialog::setTitle(const QString& title) {
    m_pTitle->setText(title);
    setWindowTitle(title);
}

QString CCommonDialog::title() const {
    return m_pTitle->text();
}

void CCommonDialog::setContentMargins(int margin) {
    m_pContentLayout->setContentsMargins(margin, margin, margin, margin);
}

bool CCommonDialog::handleEvent(int id, int a, int b, const QString& text, void* p) {
    if (id == EV_BUTTON_CLICKED && a == kCloseButtonId) {
        reject();
        return true;
    }
    return CEventDeliverer::handleEvent(id, a, b, text, p);
}

void CCommonDialog::themeChanged() {
    CUiResource& r = CUiResource::instance();
    const QSize title(0, r.getSize(QStringLiteral("siz_dialog_title_height")));
    m_pTitleLine->setFixedHeight(title.height() > 0 ? title.height() : 28);
    const QColor* back = r.getColor(QStringLiteral("ic_clr_dialog_background"));
    const QColor* titleBack = r.getColor(QStringLiteral("ic_clr_dialog_title_background"));
    setStyleSheet(
        QStringLiteral("CCommonDialog{background:%1;}QWidget#common_dialog_title{background:%2;}")
            .arg(back ? back->name() : QStringLiteral("#161616"),
                 titleBack ? titleBack->name() : QStringLiteral("#222222")));
}

} // namespace XP
