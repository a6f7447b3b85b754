#include "Registry.h"

#include <vector>

namespace {
std::string Relative(const std::string& key) { return !key.empty() && key[0] == '\\' ? key.substr(1) : key; }
}  // namespace

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    HKEY k = nullptr;
    LONG r;
    if (canCreate)
        r = RegCreateKeyExA(FRootKey, Relative(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr);
    else
        r = RegOpenKeyExA(FRootKey, Relative(key).c_str(), 0, KEY_ALL_ACCESS, &k);
    if (r != ERROR_SUCCESS) return false;
    CloseKey();
    FCurrentKey = k;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(FRootKey, Relative(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    CloseKey();
    FCurrentKey = k;
    return true;
}

void TRegistry::CloseKey()
{
    if (FCurrentKey) RegCloseKey(FCurrentKey);
    FCurrentKey = nullptr;
}

bool TRegistry::KeyExists(const std::string& key) const
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(FRootKey, Relative(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

bool TRegistry::ValueExists(const std::string& name) const
{
    return FCurrentKey &&
           RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void TRegistry::GetValueNames(TStringList& names) const
{
    names.Clear();
    if (!FCurrentKey) return;
    for (DWORD i = 0;; ++i) {
        char buf[16384];
        DWORD len = sizeof buf;
        LONG r = RegEnumValueA(FCurrentKey, i, buf, &len, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) break;
        names.Add(std::string(buf, len));
    }
}

void TRegistry::GetKeyNames(TStringList& names) const
{
    names.Clear();
    if (!FCurrentKey) return;
    for (DWORD i = 0;; ++i) {
        char buf[256];
        DWORD len = sizeof buf;
        if (RegEnumKeyExA(FCurrentKey, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.Add(std::string(buf, len));
    }
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return FCurrentKey && RegDeleteValueA(FCurrentKey, name.c_str()) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const
{
    DWORD type = 0, size = 0;
    if (!FCurrentKey ||
        RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        throw ERegistryException("Failed to get data for '" + name + "'");
    std::vector<char> buf(size + 1, 0);
    if (RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                         &size) != ERROR_SUCCESS)
        throw ERegistryException("Failed to get data for '" + name + "'");
    std::string s(buf.data(), size);
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

int32_t TRegistry::ReadInteger(const std::string& name) const
{
    DWORD type = 0, v = 0, size = sizeof v;
    if (!FCurrentKey ||
        RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        throw ERegistryException("Failed to get data for '" + name + "'");
    return static_cast<int32_t>(v);
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    if (!FCurrentKey || RegSetValueExA(FCurrentKey, name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::WriteInteger(const std::string& name, int32_t value)
{
    DWORD v = static_cast<DWORD>(value);
    if (!FCurrentKey || RegSetValueExA(FCurrentKey, name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&v), sizeof v) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + name + "'");
}
