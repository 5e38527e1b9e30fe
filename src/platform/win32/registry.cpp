// The registry of the local machine through the system's own functions. Every key is
// opened in the 32-bit view, the one the 32-bit library sees, so the 64-bit build reads
// and writes the same values. The object's path is only a label.

#include "platform/registry.h"

#include <windows.h>

#include <functional>

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

void openKey(Key& key, const std::string& path, REGSAM access) {
    key.status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | kView, &key.handle);
    if (key.status != ERROR_SUCCESS) key.handle = nullptr;
}

void openOrCreateKey(Key& key, const std::string& path) {
    key.status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_WRITE | kView, nullptr, &key.handle, nullptr);
    if (key.status != ERROR_SUCCESS) key.handle = nullptr;
}

RegResult failure(LONG status, std::string_view what) {
    if (status == ERROR_FILE_NOT_FOUND)
        return {RegStatus::NotFound, std::string(what) + ": not found"};
    return {RegStatus::IoError, std::string(what) + ": " + win32::errorText(DWORD(status))};
}

std::optional<RegValue> readValue(HKEY key, const std::string& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        RegValue value;
        value.name = name;
        value.type = RegType(type);
        value.data.resize(size);
        LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, value.data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;  // it grew between the two calls
        if (status != ERROR_SUCCESS) return std::nullopt;
        value.data.resize(size);
        value.type = RegType(type);
        return value;
    }
    return std::nullopt;
}

std::vector<RegValue> readValues(HKEY key) {
    std::vector<RegValue> values;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (std::optional<RegValue> value = readValue(key, std::string(name, length)))
            values.push_back(std::move(*value));
    }
    return values;
}

std::vector<std::string> readSubkeys(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
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
    LONG status = RegSetValueExA(key, value.name.c_str(), 0, DWORD(value.type), value.data.data(),
                                 DWORD(value.data.size()));
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
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    LONG status = RegDeleteTreeA(parent.handle, name.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyExA(parent.handle, name.c_str(), kView, 0);
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
    for (const std::string& name : section.removedValues) RegDeleteValueA(key.handle, name.c_str());
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
    LONG status = RegDeleteValueA(opened.handle, std::string(name).c_str());
    return status == ERROR_SUCCESS ? RegResult{} : failure(status, name);
}

RegResult Registry::createKey(std::string_view key) {
    std::string path = normalizeRegKeyPath(key);
    Key opened;
    openOrCreateKey(opened, path);
    return opened.handle ? RegResult{} : failure(opened.status, path);
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

}  // namespace kz::platform
