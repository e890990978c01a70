#include "host/toolkit/FileDialog.h"

#include <QtWidgets/QFileDialog>

namespace XP {

namespace {

struct State {
    CFileDialog::AnswerHook hook;
    QString caption;
};

State& state() {
    static State s;
    return s;
}

// True when the hook answered (into `answer`).
bool hooked(int kind, const QString& caption, const QString& dir, const QString& filter,
            QString& answer) {
    State& s = state();
    s.caption = caption;
    if (!s.hook)
        return false;
    answer = s.hook(kind, caption, dir, filter);
    return true;
}

} // namespace

QString CFileDialog::getExistingDirectory(QWidget* parent, const QString& caption,
                                          const QString& dir) {
    QString answer;
    if (hooked(Directory, caption, dir, QString(), answer))
        return answer;
    return QFileDialog::getExistingDirectory(
        parent, caption, dir, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

QString CFileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter) {
    QString answer;
    if (hooked(SaveFile, caption, dir, filter, answer))
        return answer;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString CFileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter) {
    QString answer;
    if (hooked(OpenFile, caption, dir, filter, answer))
        return answer;
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

void CFileDialog::setAnswerHook(AnswerHook hook) {
    state().hook = std::move(hook);
}
void CFileDialog::clearAnswerHook() {
    state().hook = AnswerHook();
}
QString CFileDialog::lastCaption() {
    return state().caption;
}

} // namespace XP
