#include "host/toolkit/UiResource.h"

#include "host/data/DataDir.h"
#include "host/data/Log.h"
#include "host/toolkit/EventWidget.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <algorithm>
#include <memory>

namespace XP {

namespace {

struct Theme {
    QHash<QString, QColor> colors;
    QHash<QString, QFont> fonts;
    QHash<QString, int> sizes;
    QHash<QString, QString> images;
};

QString themePath(const QString& name) {
    return CUiResource::dataDir() + QStringLiteral("/themes/") + name + QStringLiteral(".json");
}

bool parseTheme(const QString& name, Theme& out) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    QFile file(themePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    const QJsonObject colors = root.value(QStringLiteral("colors")).toObject();
    for (auto it = colors.begin(); it != colors.end(); ++it) {
        const QColor c(it.value().toString());
        if (!c.isValid())
            return false;
        out.colors.insert(it.key(), c);
    }
    const QJsonObject fonts = root.value(QStringLiteral("fonts")).toObject();
    for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        const QJsonObject f = it.value().toObject();
        QFont font(f.value(QStringLiteral("family")).toString());
        font.setPixelSize(std::max(1, f.value(QStringLiteral("pixelSize")).toInt(12)));
        font.setBold(f.value(QStringLiteral("bold")).toBool());
        out.fonts.insert(it.key(), font);
    }
    const QJsonObject sizes = root.value(QStringLiteral("sizes")).toObject();
    for (auto it = sizes.begin(); it != sizes.end(); ++it)
        out.sizes.insert(it.key(), it.value().toInt());
    const QJsonObject images = root.value(QStringLiteral("images")).toObject();
    for (auto it = images.begin(); it != images.end(); ++it)
        out.images.insert(it.key(), it.value().toString());
    return !out.colors.isEmpty();
}

} // namespace

struct CUiResource::Private {
    QString name;
    Theme theme;
    // every colour ever handed out, by key; never freed so pointers stay valid
    QHash<QString, QColor*> colorStore;
};

CUiResource::CUiResource() : d(new Private) {
    Theme t;
    if (parseTheme(QStringLiteral("dark"), t)) {
        d->name = QStringLiteral("dark");
        d->theme = std::move(t);
    } else {
        TT_LOG_ERROR("[CUiResource] theme %1% not readable", themePath(QStringLiteral("dark")));
    }
}

CUiResource::~CUiResource() = default;

CUiResource& CUiResource::instance() {
    // deliberately never destroyed: rows may hold colour pointers until exit
    static CUiResource* s = new CUiResource;
    return *s;
}

QString CUiResource::dataDir() {
    return TC::getResourceDir();
}

const QColor* CUiResource::getColor(const QString& key) {
    const auto it = d->theme.colors.constFind(key);
    if (it == d->theme.colors.constEnd())
        return nullptr;
    QColor*& slot = d->colorStore[key];
    if (!slot)
        slot = new QColor(it.value());
    return slot;
}

QFont CUiResource::getFont(const QString& key) {
    const auto it = d->theme.fonts.constFind(key);
    return it == d->theme.fonts.constEnd() ? QFont() : it.value();
}

int CUiResource::getSize(const QString& key) {
    return d->theme.sizes.value(key, 0);
}

QPixmap CUiResource::getPixmap(const QString& key, const QSize& size) {
    const auto it = d->theme.images.constFind(key);
    if (it == d->theme.images.constEnd() || size.isEmpty())
        return QPixmap();
    const QColor c(it.value());
    if (!c.isValid()) {
        QPixmap file(dataDir() + QStringLiteral("/themes/") + it.value());
        return file.isNull() ? file : file.scaled(size);
    }
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), 2, 2);
    return pm;
}

bool CUiResource::hasColor(const QString& key) const {
    return d->theme.colors.contains(key);
}
bool CUiResource::hasFont(const QString& key) const {
    return d->theme.fonts.contains(key);
}
bool CUiResource::hasSize(const QString& key) const {
    return d->theme.sizes.contains(key);
}
bool CUiResource::hasImage(const QString& key) const {
    return d->theme.images.contains(key);
}

bool CUiResource::contains(const QString& key) const {
    return hasColor(key) || hasFont(key) || hasSize(key) || hasImage(key);
}

bool CUiResource::loadTheme(const QString& name) {
    Theme t;
    if (!parseTheme(name, t)) {
        TT_LOG_ERROR("[CUiResource] theme %1% not readable, keeping %2%", name, d->name);
        return false;
    }
    d->theme = std::move(t);
    d->name = name;
    // rewrite handed-out colours in place; a key the new theme lacks keeps its last colour
    for (auto it = d->colorStore.begin(); it != d->colorStore.end(); ++it) {
        const auto c = d->theme.colors.constFind(it.key());
        if (c != d->theme.colors.constEnd())
            *it.value() = c.value();
    }
    TT_LOG_INFO("[CUiResource] theme %1% loaded", name);
    CUiResourceChangeHandler::notifyAll();
    return true;
}

QString CUiResource::themeName() const {
    return d->name;
}

QStringList CUiResource::colorNames() const {
    QStringList names = d->theme.colors.keys();
    names.sort();
    return names;
}

bool CUiResource::readThemeKeys(const QString& name, QStringList* colors, QStringList* fonts,
                                QStringList* sizes, QStringList* images) {
    Theme t;
    if (!parseTheme(name, t))
        return false;
    if (colors)
        *colors = t.colors.keys();
    if (fonts)
        *fonts = t.fonts.keys();
    if (sizes)
        *sizes = t.sizes.keys();
    if (images)
        *images = t.images.keys();
    return true;
}

} // namespace XP
