#include "host/toolkit/SearchTextLineEdit.h"

#include "host/toolkit/StyleSheetCenter.h"

namespace XP {

CSearchTextLineEdit::CSearchTextLineEdit(QWidget* parent) : CEventWidgetT<QLineEdit>(parent) {
    setStyleSheet(CStyleSheetCenter::getStyle(CStyleSheetCenter::StyleLineEdit));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        Q_EMIT sigTextChanged(t);
        deliverEvent(163, 0, 0, t);
    });
}

CSearchTextLineEdit::~CSearchTextLineEdit() = default;

} // namespace XP
