// cp1251 <-> UTF-16: the one text conversion of the system, used at every wide platform call.
#pragma once
#include <string>

std::wstring ToWide(const std::string& s);
std::string FromWide(const std::wstring& w);
std::string FromWide(const wchar_t* w, int len = -1);
// False when w holds a character that cp1251 lacks (out then has "?" in its place).
bool FromWideExact(const std::wstring& w, std::string& out);
