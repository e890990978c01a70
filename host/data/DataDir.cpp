#include "host/data/DataDir.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

// Set by the build: the data folder relative to the installed library folder, the
// build tree's library folder and the source tree's data folder.
#ifndef TT_LIB_TO_DATA_DIR
#define TT_LIB_TO_DATA_DIR "../share/ttbrowse"
#endif
#ifndef TT_BUILD_LIB_DIR
#define TT_BUILD_LIB_DIR ""
#endif
#ifndef TT_SOURCE_DATA_DIR
#define TT_SOURCE_DATA_DIR ""
#endif

namespace TC {

namespace {

QString libraryDir()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&getResourceDir), &info) || !info.dli_fname)
        return QString();
    return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath();
}

QString locate()
{
    const QString libDir = libraryDir();
    if (libDir.isEmpty())
        return QStringLiteral(TT_SOURCE_DATA_DIR);
    const QString installed =
        QDir::cleanPath(QDir(libDir).filePath(QStringLiteral(TT_LIB_TO_DATA_DIR)));
    if (QFileInfo(installed).isDir())
        return installed;
    const QString buildLib = QFileInfo(QStringLiteral(TT_BUILD_LIB_DIR)).canonicalFilePath();
    if (!buildLib.isEmpty() && libDir == buildLib)
        return QStringLiteral(TT_SOURCE_DATA_DIR);
    return installed; // missing: the readers' errors name it
}

} // namespace

QString getResourceDir()
{
    // read every time: tests point TT_DATA_DIR elsewhere
    const QString env = qEnvironmentVariable("TT_DATA_DIR");
    if (!env.isEmpty())
        return env;
    static const QString dir = locate();
    return dir;
}

} // namespace TC
