#pragma once
// File and folder choosers of the toolkit. An answer hook (set by the host application
// or a test) replaces the modal dialog: it receives the kind, caption, start folder and
// filter and returns the chosen path, empty for a cancelled dialog.
#include <QtCore/QString>
#include <functional>

class QWidget;

namespace XP {

class CFileDialog {
public:
    enum EKind { Directory = 0, SaveFile = 1, OpenFile = 2 };
    using AnswerHook = std::function<QString(int kind, const QString& caption, const QString& dir,
                                             const QString& filter)>;

    // Folders only, links not resolved.
    static QString getExistingDirectory(QWidget* parent, const QString& caption,
                                        const QString& dir);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);

    static void setAnswerHook(AnswerHook hook);
    static void clearAnswerHook();
    // Caption of the last chooser asked for.
    static QString lastCaption();
};

} // namespace XP
