// cp1251 <-> UTF-16: the one text conversion of the system, used at every wide platform call.
#pragma once
#include <string>

std::wstring ToWide(const std::string& s);
std::string FromWide(const std::wstring& w);
std::string FromWide(const wchar_t* w, int len = -1);
// False when w holds a character that cp1251 lacks (out then has "?" in its place).
bool FromWideExact(const std::wstring& w, std::string& out);
// The short form of an existing path, however much longer than the long one it is (two CJK
// letters give eight); false when the system gives none.
bool ShortPathName(const std::wstring& path, std::wstring& out);
// Compares two texts as the user's locale orders them, letter case ignored: <0, 0 or >0. The
// comparison sees the characters themselves, so Russian texts sort as Russian whatever the
// system code page is.
int AnsiCompareText(const std::string& a, const std::string& b);
