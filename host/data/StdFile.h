#pragma once
// Whole-file reads and writes of the host; never throw.

#include <QString>
#include <string>

class QJsonDocument;

namespace TC {
// mode as fopen: "wb" replaces the file whole (the old one stays if the write fails or
// the process dies), "ab" appends. Creates missing parent folders.
bool stdWriteFile(const QString& path, const std::string& content, const char* mode = "wb");
bool stdReadFile(const QString& path, std::string& content);
// The host's text file writer: content as UTF-8, replacing the file whole. Unlike
// stdWriteFile it creates no folders: a missing or read-only folder is a failure.
bool QWriteFile(const QString& path, const QString& content);
// A name usable as one file name on any desktop system: path separators, the characters
// Windows refuses (: * ? " < > |) and control characters become '_', and so does a name
// made of dots only ("..").
QString validFileName(const QString& name);
// The host's own JSON files (configuration, user sectors, custom indices). A missing
// file is false quietly; a malformed one is false and logged under the tag.
bool readJsonFile(const QString& path, const char* tag, QJsonDocument& out);
bool writeJsonFile(const QString& path, const QJsonDocument& doc);
} // namespace TC
