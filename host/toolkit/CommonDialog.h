#pragma once
// Dialog of the toolkit: a title line with a close button over a content area. The close
// button delivers EV_BUTTON_CLICKED (-1, 0), which the dialog answers by rejecting.
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QDialog>

class QVBoxLayout;

namespace XP {

class CSimpleTextWidget;

class CCommonDialog : public CEventWidgetT<QDialog>, public CUiResourceChangeHandler {
    Q_OBJECT
public:
    explicit CCommonDialog(QWidget* parent = nullptr, const QString& title = QString());
    ~CCommonDialog() override;

    void setTitle(const QString& title);
    QString title() const;
    // The area under the title line; callers lay their controls out in it.
    QWidget* contentWidget() const { return m_pContent; }
    QVBoxLayout* contentLayout() const { return m_pContentLayout; }
    void setContentMargins(int margin);

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

private:
    CSimpleTextWidget* m_pTitle;
    QWidget* m_pTitleLine;
    QWidget* m_pContent;
    QVBoxLayout* m_pContentLayout;
};

} // namespace XP
