#pragma once
// Whole-file reads and writes of the host; never throw.

#include <QString>
#include <string>

namespace TC {
// mode as fopen: "wb" replaces, "ab" appends. Creates missing parent folders.
bool stdWriteFile(const QString& path, const std::string& content, const char* mode = "wb");
bool stdReadFile(const QString& path, std::string& content);
} // namespace TC
