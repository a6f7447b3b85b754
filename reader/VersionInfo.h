// Reads a file's version resource: the fixed block, its file flags and the predefined string keys
// of the first translation.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "SysUtils.h"

class EVersionInfoError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EVersionInfoError"; }
};

class ENoVersionInfoError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "ENoVersionInfoError"; }
};

class eNoFixedVersionInfo : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "eNoFixedVersionInfo"; }
};

// Index of the predefined string keys (GetKeyString).
enum : uint8_t {
    vkCompanyName,
    vkFileDescription,
    vkFileVersion,
    vkInternalName,
    vkLegalCopyright,
    vkLegalTrademarks,
    vkOriginalFilename,
    vkProductName,
    vkProductVersion,
    vkComments,
};
constexpr int VersionKeyCount = 10;

class TVersionResource {
public:
    // Raises ENoVersionInfoError, EVersionInfoError or eNoFixedVersionInfo.
    explicit TVersionResource(const std::string& FileName);
    virtual ~TVersionResource() = default;
    TVersionResource(const TVersionResource&) = delete;
    TVersionResource& operator=(const TVersionResource&) = delete;

    // The value of key Index (0..9) in the first translation; empty when the resource lacks it.
    std::string GetKeyString(uint8_t Index) const;

    const TStringList& FileFlags() const { return FFileFlags; }
    const std::string& FileName() const { return FFileName; }
    const VS_FIXEDFILEINFO* FixedInfo() const { return FFixedInfo; }

    static const char* const KeyNames[VersionKeyCount];
    // The texts of the file flags set in both mask and flags, in their fixed order.
    static void CollectFileFlags(DWORD mask, DWORD flags, TStringList& out);

private:
    void LoadVersionResource();
    void LoadFixedFileInfo();
    void CollectFileFlags();

    DWORD FHandle = 0;
    int32_t FSize = 0;
    std::vector<uint8_t> FData;
    const DWORD* FTranslation = nullptr;
    const VS_FIXEDFILEINFO* FFixedInfo = nullptr;
    TStringList FFileFlags;
    std::string FFileName;
};
