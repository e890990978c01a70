#pragma once
// Theme store: maps resource keys to colours, fonts, sizes and images.
// Colours are handed out as pointers owned by the store; a theme switch rewrites the
// colours in place, so every pointer handed out stays valid for the process's life.
// GUI thread only.

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <memory>

class QColor;
class QFont;
class QPixmap;
class QSize;

namespace XP {

class CUiResource {
public:
    static CUiResource& instance();

    // Null for a key the current theme lacks (e.g. "false").
    const QColor* getColor(const QString& key);
    // The application font for an unknown key.
    QFont getFont(const QString& key);
    // Pixels; 0 for an unknown key.
    int getSize(const QString& key);
    // The image of a key: a file under the theme folder, or a swatch of the key's colour
    // description; a null pixmap for an unknown key.
    QPixmap getPixmap(const QString& key, const QSize& size);

    bool hasColor(const QString& key) const;
    bool hasFont(const QString& key) const;
    bool hasSize(const QString& key) const;
    bool hasImage(const QString& key) const;
    // Any kind.
    bool contains(const QString& key) const;

    // "dark" or "light" (any file <name>.json under <data>/themes). On success the
    // colours are updated in place and every live CUiResourceChangeHandler is told;
    // on failure the current theme stays and false is returned.
    bool loadTheme(const QString& name);
    QString themeName() const;
    // Names of the theme's colour keys, sorted (for colour choosers).
    QStringList colorNames() const;

    // The folder holding data files (TC::getResourceDir).
    static QString dataDir();
    // Reads one theme file into a key list per kind without applying it; false when the
    // file is missing or malformed.
    static bool readThemeKeys(const QString& name, QStringList* colors, QStringList* fonts,
                              QStringList* sizes, QStringList* images);

    CUiResource(const CUiResource&) = delete;
    CUiResource& operator=(const CUiResource&) = delete;

private:
    CUiResource();
    ~CUiResource();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace XP
