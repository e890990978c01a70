#include "host/toolkit/SearchTextLineEdit.h"

#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/ToolkitEvents.h"

namespace XP {

CSearchTextLineEdit::CSearchTextLineEdit(QWidget* parent) : CEventWidgetT<QLineEdit>(parent) {
    setStyleSheet(CStyleSheetCenter::getStyle(CStyleSheetCenter::StyleLineEdit));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        Q_EMIT sigTextChanged(t);
        deliverEvent(EV_SEARCH_TEXT_CHANGED, 0, 0, t);
    });
}

CSearchTextLineEdit::~CSearchTextLineEdit() = default;

} // namespace XP
