// Path helpers.
#pragma once
#include <string>

// The folder part of a file name, with its trailing separator ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);

// The extension as the platform sees it: from the last "." after the last path separator
// ("" when there is none).
std::string ExtractFileExt(const std::string& fileName);

// The long form of a path that may hold short (8.3) names; the path as given when cp1251 cannot
// hold its long form.
std::string GetLongFileName(const std::string& Path);

// The walk GetLongFileName falls back on where the system has no GetLongPathNameW: each existing
// component from the end is replaced by its long name, then the drive part is put in front.
std::string LongFileNameByWalk(std::string Path);
