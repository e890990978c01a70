#include "host/widgets/CBrowserFetchDataProgressDialog.h"

#include "host/toolkit/ProgressBar.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace TC {

namespace {
constexpr int kCancelButtonId = 1;
} // namespace

CBrowserFetchDataProgressDialog::CBrowserFetchDataProgressDialog(QWidget* parent)
    : XP::CCommonDialog(parent, QStringLiteral("刷新数据")),
      m_pText(new XP::CSimpleTextWidget(contentWidget())),
      m_pBar(new XP::CProgressBar(contentWidget())),
      m_pCancel(new XP::CPushButton(kCancelButtonId, QStringLiteral("取消"), contentWidget()))
{
    setFixedSize(300, 150);
    setContentMargins(26);
    m_pText->setFixedSize(200, 20);
    m_pBar->setFixedSize(200, 20);
    m_pBar->setTextVisible(false);
    auto& resources = XP::CUiResource::instance();
    const int height = resources.getSize(QStringLiteral("siz_account_btn_height"));
    const int width = resources.getSize(QStringLiteral("siz_account_btn_width_small"));
    m_pCancel->setFixedSize(width > 0 ? width : 60, height > 0 ? height : 24);
    contentLayout()->addWidget(m_pText, 0, Qt::AlignHCenter);
    contentLayout()->addWidget(m_pBar, 0, Qt::AlignHCenter);
    contentLayout()->addWidget(m_pCancel, 0, Qt::AlignHCenter);
    setMaximum(1);
    setProgress(0);
}

CBrowserFetchDataProgressDialog::~CBrowserFetchDataProgressDialog() = default;

void CBrowserFetchDataProgressDialog::setMaximum(int maximum)
{
    m_pBar->setMaximum(maximum > 0 ? maximum : 1);
}

int CBrowserFetchDataProgressDialog::maximum() const
{
    return m_pBar->maximum();
}

void CBrowserFetchDataProgressDialog::setProgress(int progress)
{
    m_pBar->setValue(progress);
    // single precision and truncation, as the figure has always been shown
    const int percent = int(float(progress) / float(m_pBar->maximum()) * 100.0f);
    m_pText->setText(QStringLiteral("正在刷新当前行情...[%1%]").arg(percent));
}

int CBrowserFetchDataProgressDialog::progress() const
{
    return m_pBar->value();
}

QString CBrowserFetchDataProgressDialog::text() const
{
    return m_pText->text();
}

void CBrowserFetchDataProgressDialog::cancel()
{
    Q_EMIT sigCancel();
    reject();
}

bool CBrowserFetchDataProgressDialog::handleEvent(int id, int a, int b, const QString& text,
                                                  void* p)
{
    if (id == XP::EV_BUTTON_CLICKED && a == kCancelButtonId) {
        cancel();
        return true;
    }
    return XP::CCommonDialog::handleEvent(id, a, b, text, p);
}

} // namespace TC
