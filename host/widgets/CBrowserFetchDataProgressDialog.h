#pragma once
// Progress of a browse table's interval quote refresh: "正在刷新当前行情...[n%]" over a bar,
// and a "取消" button. The title line's close button rejects, as in every common dialog.

#include "host/toolkit/CommonDialog.h"

namespace XP {
class CProgressBar;
class CPushButton;
class CSimpleTextWidget;
} // namespace XP

namespace TC {

class CBrowserFetchDataProgressDialog : public XP::CCommonDialog {
    Q_OBJECT
public:
    explicit CBrowserFetchDataProgressDialog(QWidget* parent = nullptr);
    ~CBrowserFetchDataProgressDialog() override;

    void setMaximum(int maximum);
    int maximum() const;
    void setProgress(int progress);
    int progress() const;
    QString text() const;
    // The "取消" button's action: emits sigCancel, then rejects.
    void cancel();

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

Q_SIGNALS:
    void sigCancel();

private:
    XP::CSimpleTextWidget* m_pText;
    XP::CProgressBar* m_pBar;
    XP::CPushButton* m_pCancel;
};

} // namespace TC
