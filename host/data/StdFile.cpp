#include "host/data/StdFile.h"

#include "host/data/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

namespace TC {

bool stdWriteFile(const QString& path, const std::string& content, const char* mode)
{
    if (path.isEmpty() || !mode)
        return false;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    if (mode[0] == 'w') {
        // written beside and renamed over the old file once complete: a crash or a
        // failed write leaves the old file as it was, never half a new one
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const qint64 size = static_cast<qint64>(content.size());
        if (size > 0 && file.write(content.data(), size) != size) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }
    FILE* f = std::fopen(QFile::encodeName(path).constData(), mode);
    if (!f)
        return false;
    const size_t written = content.empty() ? 0 : std::fwrite(content.data(), 1, content.size(), f);
    const bool closed = std::fclose(f) == 0;
    return closed && written == content.size();
}

bool QWriteFile(const QString& path, const QString& content)
{
    if (path.isEmpty() || !QFileInfo(path).absoluteDir().exists())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = content.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    const bool ok = file.commit();
    if (!ok)
        TT_LOG_WARN("[QWriteFile] writing %1% failed", path);
    return ok;
}

QString validFileName(const QString& name)
{
    static const QString invalid = QStringLiteral("/\\:*?\"<>|");
    QString out = name;
    bool dotsOnly = !out.isEmpty();
    for (QChar& c : out) {
        if (invalid.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
        dotsOnly = dotsOnly && c == QLatin1Char('.');
    }
    return dotsOnly ? QString(out.size(), QLatin1Char('_')) : out;
}

bool stdReadFile(const QString& path, std::string& content)
{
    content.clear();
    if (path.isEmpty())
        return false;
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        content.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool readJsonFile(const QString& path, const char* tag, QJsonDocument& out)
{
    std::string text;
    if (!stdReadFile(path, text))
        return false;
    QJsonParseError err;
    out = QJsonDocument::fromJson(QByteArray::fromStdString(text), &err);
    if (err.error != QJsonParseError::NoError) {
        TT_LOG_ERROR("[%1%] %2% is malformed, kept what was loaded: %3%", tag, path,
                     err.errorString());
        return false;
    }
    return true;
}

bool writeJsonFile(const QString& path, const QJsonDocument& doc)
{
    return stdWriteFile(path, doc.toJson(QJsonDocument::Indented).toStdString(), "wb");
}

} // namespace TC
