#pragma once
// Push button of the toolkit: a click delivers EV_BUTTON_CLICKED (id, 0, text) upward.
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QPushButton>

namespace XP {

class CPushButton : public CEventWidgetT<QPushButton>, public CUiResourceChangeHandler {
    Q_OBJECT
public:
    CPushButton(int id, const QString& text, QWidget* parent = nullptr);
    ~CPushButton() override;

    int id() const { return m_nId; }
    void setId(int id) { m_nId = id; }
    // Background image of the button (a theme image key).
    void setImageKey(const QString& key);
    void setFontKey(const QString& key);
    // Text colours per state: normal, hover, pressed (also checked), disabled.
    void setTextColorKeys(const QString& normal, const QString& hover, const QString& press,
                          const QString& disable);
    // Background colours: normal, hover, selected (pressed or checked), and the colour
    // under them.
    void setBackgroundColorKeys(const QString& normal, const QString& hover,
                                const QString& selected, const QString& base = QString());
    void themeChanged() override;

private:
    void applyStyle();
    int m_nId;
    QString m_qsImageKey, m_qsFontKey;
    QString m_qsText[4];
    QString m_qsBack[4];
};

} // namespace XP
