#pragma once
// The host dialogs' "确定" / "取消" row, wired to accept and reject.

class QDialog;
class QDialogButtonBox;

namespace TC {

QDialogButtonBox* createOkCancelButtons(QDialog* dialog);

} // namespace TC
