// The registry of the local machine through the system's own functions. Every key is
// opened in the 32-bit view, the one the 32-bit library sees, so the 64-bit build reads
// and writes the same values. The object's path is only a label. Names and text values
// are UTF-16 in the system and UTF-8 here.

#include "platform/registry.h"

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>

#include "platform/win32/windows_text.h"

namespace kz::platform {

namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

struct Key {
    HKEY handle = nullptr;
    LONG status = ERROR_SUCCESS;
    ~Key() {
        if (handle) RegCloseKey(handle);
    }
};

bool isText(RegType type) {
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

// A text value's UTF-16 bytes as UTF-8, its terminators kept.
std::vector<uint8_t> fromSystemText(const std::vector<uint8_t>& bytes) {
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    const std::string text = win32::narrow(wide);
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> toSystemText(const std::vector<uint8_t>& bytes) {
    const std::wstring wide =
        win32::widen(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::vector<uint8_t> out(wide.size() * sizeof(wchar_t));
    std::memcpy(out.data(), wide.data(), out.size());
    return out;
}

void openKey(Key& key, const std::string& path, REGSAM access) {
    key.status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, access | kView,
                               &key.handle);
    if (key.status != ERROR_SUCCESS) key.handle = nullptr;
}

void openOrCreateKey(Key& key, const std::string& path) {
    key.status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_WRITE | kView, nullptr, &key.handle, nullptr);
    if (key.status != ERROR_SUCCESS) key.handle = nullptr;
}

// The SID of the account this process runs as, in its text form.
std::optional<std::wstring> processAccount() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::max_align_t> buffer(size / sizeof(std::max_align_t) + 1);
    std::optional<std::wstring> account;
    wchar_t* text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        account = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return account;
}

RegResult failure(LONG status, std::string_view what) {
    if (status == ERROR_FILE_NOT_FOUND)
        return {RegStatus::NotFound, std::string(what) + ": not found"};
    return {RegStatus::IoError, std::string(what) + ": " + win32::errorText(DWORD(status))};
}

std::optional<RegValue> readValue(HKEY key, const std::string& name) {
    const std::wstring wideName = win32::widen(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        RegValue value;
        value.name = name;
        value.type = RegType(type);
        value.data.resize(size);
        LONG status =
            RegQueryValueExW(key, wideName.c_str(), nullptr, &type, value.data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;  // it grew between the two calls
        if (status != ERROR_SUCCESS) return std::nullopt;
        value.data.resize(size);
        value.type = RegType(type);
        if (isText(value.type)) value.data = fromSystemText(value.data);
        return value;
    }
    return std::nullopt;
}

std::vector<RegValue> readValues(HKEY key) {
    std::vector<RegValue> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = DWORD(std::size(name));
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (std::optional<RegValue> value =
                readValue(key, win32::narrow(std::wstring_view(name, length))))
            values.push_back(std::move(*value));
    }
    return values;
}

std::vector<std::string> readSubkeys(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = DWORD(std::size(name));
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(win32::narrow(std::wstring_view(name, length)));
    }
    return names;
}

std::string childPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + '\\' + name;
}

void exportKey(const std::string& path, std::vector<RegKey>& out) {
    Key key;
    openKey(key, path, KEY_READ);
    if (!key.handle) return;
    out.push_back(RegKey{path, false, readValues(key.handle), {}});
    for (const std::string& name : readSubkeys(key.handle)) exportKey(childPath(path, name), out);
}

RegResult setIn(HKEY key, const RegValue& value) {
    if (std::optional<RegValue> now = readValue(key, value.name);
        now && now->type == value.type && now->data == value.data)
        return {};
    const std::vector<uint8_t> data = isText(value.type) ? toSystemText(value.data) : value.data;
    LONG status = RegSetValueExW(key, win32::widen(value.name).c_str(), 0, DWORD(value.type),
                                 data.data(), DWORD(data.size()));
    return status == ERROR_SUCCESS ? RegResult{} : failure(status, value.name);
}

// Removes a key with its subkeys, found in the 32-bit view.
RegResult deleteTree(const std::string& path) {
    size_t slash = path.rfind('\\');
    Key parent;
    openKey(parent, slash == std::string::npos ? std::string() : path.substr(0, slash),
            KEY_READ | KEY_WRITE);
    if (!parent.handle)
        return parent.status == ERROR_FILE_NOT_FOUND ? RegResult{} : failure(parent.status, path);
    const std::wstring name =
        win32::widen(slash == std::string::npos ? path : path.substr(slash + 1));
    LONG status = RegDeleteTreeW(parent.handle, name.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(parent.handle, name.c_str(), kView, 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? RegResult{}
                                                                     : failure(status, path);
}

RegResult applySection(const RegKey& section) {
    std::string path = normalizeRegKeyPath(section.path);
    if (section.remove) return deleteTree(path);
    Key key;
    openOrCreateKey(key, path);
    if (!key.handle) return failure(key.status, path);
    for (const RegValue& value : section.values) {
        RegResult result = setIn(key.handle, value);
        if (!result.ok()) return result;
    }
    for (const std::string& name : section.removedValues)
        RegDeleteValueW(key.handle, win32::widen(name).c_str());
    return {};
}

}  // namespace

struct Registry::Impl {};

Registry::Registry(std::string path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {}

Registry::~Registry() = default;

std::string Registry::defaultPath() {
    return "HKEY_LOCAL_MACHINE";
}

// The system registry answers from memory; there is no file to look at less often.
Registry::ReadScope::ReadScope(const Registry&) {}
Registry::ReadScope::~ReadScope() = default;

std::optional<RegValue> Registry::query(std::string_view key, std::string_view name) const {
    Key opened;
    openKey(opened, normalizeRegKeyPath(key), KEY_QUERY_VALUE);
    if (!opened.handle) return std::nullopt;
    return readValue(opened.handle, std::string(name));
}

bool Registry::keyExists(std::string_view key) const {
    Key opened;
    openKey(opened, normalizeRegKeyPath(key), KEY_QUERY_VALUE);
    return opened.handle != nullptr;
}

std::vector<RegValue> Registry::values(std::string_view key) const {
    Key opened;
    openKey(opened, normalizeRegKeyPath(key), KEY_READ);
    return opened.handle ? readValues(opened.handle) : std::vector<RegValue>{};
}

std::vector<std::string> Registry::subkeys(std::string_view key) const {
    Key opened;
    openKey(opened, normalizeRegKeyPath(key), KEY_READ);
    return opened.handle ? readSubkeys(opened.handle) : std::vector<std::string>{};
}

RegResult Registry::setValue(std::string_view key, const RegValue& value) {
    std::string path = normalizeRegKeyPath(key);
    Key opened;
    openOrCreateKey(opened, path);
    if (!opened.handle) return failure(opened.status, path);
    return setIn(opened.handle, value);
}

RegResult Registry::deleteValue(std::string_view key, std::string_view name) {
    std::string path = normalizeRegKeyPath(key);
    Key opened;
    openKey(opened, path, KEY_SET_VALUE);
    if (!opened.handle) return failure(opened.status, path);
    LONG status = RegDeleteValueW(opened.handle, win32::widen(name).c_str());
    return status == ERROR_SUCCESS ? RegResult{} : failure(status, name);
}

RegResult Registry::createKey(std::string_view key) {
    std::string path = normalizeRegKeyPath(key);
    Key opened;
    openOrCreateKey(opened, path);
    return opened.handle ? RegResult{} : failure(opened.status, path);
}

RegResult Registry::restrictKey(std::string_view key) {
    std::string path = normalizeRegKeyPath(key);
    Key opened;
    opened.status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, nullptr, 0,
                                    KEY_READ | WRITE_DAC | kView, nullptr, &opened.handle, nullptr);
    if (opened.status != ERROR_SUCCESS) return failure(opened.status, path);
    const std::optional<std::wstring> account = processAccount();
    if (!account) return failure(LONG(GetLastError()), path);
    // Full control for the system, administrators and this account, nothing inherited.
    const std::wstring sddl = L"D:P(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)(A;OICI;KA;;;" + *account + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return failure(LONG(GetLastError()), path);
    const LONG status = RegSetKeySecurity(
        opened.handle, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return status == ERROR_SUCCESS ? RegResult{} : failure(status, path);
}

// Checked whole before anything changes; the system applies each value by itself.
RegResult Registry::importText(std::string_view text) {
    std::vector<RegKey> sections;
    RegResult parsed = parseRegText(text, sections);
    if (!parsed.ok()) return parsed;
    for (const RegKey& section : sections) {
        RegResult applied = applySection(section);
        if (!applied.ok()) return applied;
    }
    return {};
}

std::string Registry::exportText(std::string_view key) const {
    std::vector<RegKey> keys;
    exportKey(normalizeRegKeyPath(key), keys);
    if (!keys.empty() && keys.front().path.empty()) keys.erase(keys.begin());
    return formatRegText(keys);
}

RegResult Registry::loadStatus() const {
    return {};
}

bool Registry::present() const {
    return true;
}

}  // namespace kz::platform
