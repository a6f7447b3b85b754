// The registry class: one root key and at most one open key at a time.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "Classes.h"
#include "SysUtils.h"

class ERegistryException : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "ERegistryException"; }
};

class TRegistry {
public:
    TRegistry() = default;
    ~TRegistry() { CloseKey(); }
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY k)
    {
        CloseKey();
        FRootKey = k;
    }
    HKEY CurrentKey() const { return FCurrentKey; }

    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool KeyExists(const std::string& key) const;
    bool ValueExists(const std::string& name) const;
    void GetValueNames(TStringList& names) const;
    void GetKeyNames(TStringList& names) const;
    bool DeleteValue(const std::string& name);

    // Reads raise ERegistryException "Failed to get data for '<name>'" when the value is missing
    // or of another kind; writes "Failed to set data for '<name>'".
    std::string ReadString(const std::string& name) const;
    int32_t ReadInteger(const std::string& name) const;
    bool ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

private:
    HKEY FRootKey = HKEY_CURRENT_USER;
    HKEY FCurrentKey = nullptr;
};
