#include "VersionInfo.h"

#include <cstring>
#include <cwchar>

#include "Cp1251.h"

const char* const TVersionResource::KeyNames[VersionKeyCount] = {
    "CompanyName",    "FileDescription", "FileVersion",      "InternalName", "LegalCopyright",
    "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments",
};

TVersionResource::TVersionResource(const std::string& FileName) : FFileName(FileName)
{
    LoadVersionResource();
    LoadFixedFileInfo();
    CollectFileFlags();
}

void TVersionResource::LoadVersionResource()
{
    // The wide calls: the ANSI ones read the name in the system's code page, not in cp1251.
    const std::wstring name = ToWide(FFileName);
    FSize = static_cast<int32_t>(GetFileVersionInfoSizeW(name.c_str(), &FHandle));
    if (FSize <= 0) throw ENoVersionInfoError("No Version Info Available.");
    FData.assign(static_cast<size_t>(FSize), 0);
    if (!GetFileVersionInfoW(name.c_str(), FHandle, static_cast<DWORD>(FSize), FData.data()))
        throw EVersionInfoError("Cannot obtain version info.");
    void* p = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(FData.data(), L"\\VarFileInfo\\Translation", &p, &len) || !p ||
        len < sizeof(DWORD))
        throw EVersionInfoError("No language info.");
    FTranslation = static_cast<const DWORD*>(p);
}

void TVersionResource::LoadFixedFileInfo()
{
    void* p = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(FData.data(), L"\\", &p, &len) || !p || len < sizeof(VS_FIXEDFILEINFO))
        throw eNoFixedVersionInfo("No fixed file info");
    FFixedInfo = static_cast<const VS_FIXEDFILEINFO*>(p);
}

void TVersionResource::CollectFileFlags(DWORD mask, DWORD flags, TStringList& out)
{
    static const struct {
        DWORD bit;
        const char* text;
    } names[] = {
        {VS_FF_PRERELEASE, "Pre-release"},
        {VS_FF_PRIVATEBUILD, "Private build"},
        {VS_FF_SPECIALBUILD, "Special build"},
        {VS_FF_DEBUG, "Debug"},
    };
    for (const auto& n : names)
        if (mask & flags & n.bit) out.Add(n.text);
}

void TVersionResource::CollectFileFlags()
{
    CollectFileFlags(FFixedInfo->dwFileFlagsMask, FFixedInfo->dwFileFlags, FFileFlags);
}

std::string TVersionResource::GetKeyString(uint8_t Index) const
{
    if (Index >= VersionKeyCount) return std::string();
    DWORD t = *FTranslation;
    std::string block = Format("%s%.4x%.4x\\%s%s", "\\StringFileInfo\\",
                               static_cast<unsigned>(LOWORD(t)), static_cast<unsigned>(HIWORD(t)),
                               KeyNames[Index], "");
    void* p = nullptr;
    UINT len = 0;
    // The block is the caller's copy; VerQueryValueW wants a non-const pointer. The text comes as
    // UTF-16 (its length in characters) and is given back in cp1251.
    if (!VerQueryValueW(const_cast<uint8_t*>(FData.data()), ToWide(block).c_str(), &p, &len) || !p)
        return std::string();
    // Stay inside the block even if a broken resource lacks the terminating zero.
    const wchar_t* text = static_cast<const wchar_t*>(p);
    return FromWide(text, static_cast<int>(wcsnlen(text, len)));
}
