#include "host/toolkit/MessageBox.h"

#include <QtWidgets/QMessageBox>

namespace XP {

namespace {

struct State {
    CMessageBox::AnswerHook hook;
    QString title, text;
};

State& state() {
    static State s;
    return s;
}

int show(QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text,
         int buttons) {
    State& s = state();
    s.title = title;
    s.text = text;
    if (s.hook)
        return s.hook(title, text, buttons);
    QMessageBox box(icon, title, text, QMessageBox::StandardButtons(buttons), parent);
    return box.exec();
}

} // namespace

int CMessageBox::information(QWidget* parent, const QString& title, const QString& text,
                             int buttons) {
    return show(QMessageBox::Information, parent, title, text, buttons);
}

int CMessageBox::warning(QWidget* parent, const QString& title, const QString& text, int buttons) {
    return show(QMessageBox::Warning, parent, title, text, buttons);
}

int CMessageBox::question(QWidget* parent, const QString& title, const QString& text, int buttons) {
    return show(QMessageBox::Question, parent, title, text, buttons);
}

void CMessageBox::setAnswerHook(AnswerHook hook) {
    state().hook = std::move(hook);
}
void CMessageBox::clearAnswerHook() {
    state().hook = AnswerHook();
}
QString CMessageBox::lastTitle() {
    return state().title;
}
QString CMessageBox::lastText() {
    return state().text;
}

} // namespace XP
