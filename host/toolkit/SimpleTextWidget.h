#pragma once
// One line of painted text with theme font and colour keys.
#include "host/toolkit/EventWidget.h"

namespace XP {

class CSimpleTextWidget : public CBaseWidget {
    Q_OBJECT
public:
    explicit CSimpleTextWidget(QWidget* parent = nullptr, const QString& text = QString());
    ~CSimpleTextWidget() override;

    void setText(const QString& text);
    QString text() const { return m_qsText; }
    void setFontKey(const QString& key);
    void setTextColorKey(const QString& key);
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override;
    void themeChanged() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_qsText, m_qsFontKey, m_qsColorKey;
    Qt::Alignment m_align = Qt::AlignLeft | Qt::AlignVCenter;
};

} // namespace XP
