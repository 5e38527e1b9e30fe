#include <algorithm>
#include <utility>

#include "platform/posix/registry_text.h"

namespace kz::platform::reg {

namespace {

RegValue* findValue(RegKey& key, std::string_view name) {
    for (RegValue& value : key.values) {
        if (namesEqual(value.name, name)) return &value;
    }
    return nullptr;
}

}  // namespace

const RegKey* Model::find(std::string_view path) const {
    for (const RegKey& key : keys_) {
        if (namesEqual(key.path, path)) return &key;
    }
    return nullptr;
}

RegKey* Model::findMutable(std::string_view path) {
    return const_cast<RegKey*>(std::as_const(*this).find(path));
}

bool Model::keyExists(std::string_view path) const {
    if (path.empty()) return true;
    return std::any_of(keys_.begin(), keys_.end(),
                       [&](const RegKey& key) { return isSameOrBelow(key.path, path); });
}

std::vector<std::string> Model::subkeys(std::string_view path) const {
    std::vector<std::string> names;
    std::size_t start = path.empty() ? 0 : path.size() + 1;
    for (const RegKey& key : keys_) {
        if (key.path.size() <= path.size() || !isSameOrBelow(key.path, path)) continue;
        std::string_view rest = std::string_view(key.path).substr(start);
        std::string_view child = rest.substr(0, rest.find('\\'));
        bool known = std::any_of(names.begin(), names.end(),
                                 [&](const std::string& n) { return namesEqual(n, child); });
        if (!known) names.emplace_back(child);
    }
    return names;
}

bool Model::setValue(std::string_view path, const RegValue& value) {
    RegKey* key = findMutable(path);
    if (!key) key = &keys_.emplace_back(RegKey{std::string(path), false, {}, {}});
    RegValue* existing = findValue(*key, value.name);
    if (!existing) {
        key->values.push_back(value);
        return true;
    }
    if (existing->type == value.type && existing->data == value.data) return false;
    existing->type = value.type;  // the name keeps the spelling first written
    existing->data = value.data;
    return true;
}

bool Model::deleteValue(std::string_view path, std::string_view name) {
    RegKey* key = findMutable(path);
    if (!key) return false;
    return std::erase_if(key->values, [&](const RegValue& v) { return namesEqual(v.name, name); }) >
           0;
}

bool Model::createKey(std::string_view path) {
    if (keyExists(path)) return false;
    keys_.push_back(RegKey{std::string(path), false, {}, {}});
    return true;
}

bool Model::deleteKey(std::string_view path) {
    return std::erase_if(keys_, [&](const RegKey& key) { return isSameOrBelow(key.path, path); }) >
           0;
}

bool Model::apply(const std::vector<RegKey>& sections) {
    bool changed = false;
    for (const RegKey& section : sections) {
        if (section.remove) {
            changed |= deleteKey(section.path);
            continue;
        }
        changed |= createKey(section.path);
        for (const std::string& name : section.removedValues) {
            changed |= deleteValue(section.path, name);
        }
        for (const RegValue& value : section.values) changed |= setValue(section.path, value);
    }
    return changed;
}

}  // namespace kz::platform::reg
