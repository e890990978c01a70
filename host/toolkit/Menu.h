#pragma once
#include <QtWidgets/QMenu>

namespace XP {

// Menu styled from the current theme.
class CMenu : public QMenu {
    Q_OBJECT
public:
    explicit CMenu(QWidget* parent = nullptr);
    CMenu(const QString& title, QWidget* parent = nullptr);
    ~CMenu() override;
    void updateStyle();
};

} // namespace XP
