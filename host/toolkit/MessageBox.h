#pragma once
// Message boxes of the toolkit. An answer hook (set by the host application or a test)
// replaces the modal loop: it receives title and text and returns the button.
#include <QtCore/QString>
#include <functional>

class QWidget;

namespace XP {

class CMessageBox {
public:
    enum EButton { Ok = 0x400, Cancel = 0x400000, Yes = 0x4000, No = 0x10000 };
    using AnswerHook = std::function<int(const QString& title, const QString& text, int buttons)>;

    static int information(QWidget* parent, const QString& title, const QString& text,
                           int buttons = Ok);
    static int warning(QWidget* parent, const QString& title, const QString& text,
                       int buttons = Ok);
    // Yes or No unless other buttons are given.
    static int question(QWidget* parent, const QString& title, const QString& text,
                        int buttons = Yes | No);

    static void setAnswerHook(AnswerHook hook);
    static void clearAnswerHook();
    // Title and text of the last box shown.
    static QString lastTitle();
    static QString lastText();
};

} // namespace XP
