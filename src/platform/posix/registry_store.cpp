// The registry object: a parsed copy of the file shared by readers, refreshed when the
// file changes, and locked read-change-replace cycles for writers.

#include <cerrno>
#include <functional>
#include <mutex>
#include <shared_mutex>

#include "platform/files.h"
#include "platform/posix/registry_internal.h"

namespace kz::platform {

namespace {

struct Snapshot {
    reg::FileId id;
    reg::Model model;
    RegResult status;
    RegFormat format = RegFormat::Version5;  // kept when the file is rewritten
};
using SnapshotPtr = std::shared_ptr<const Snapshot>;

SnapshotPtr loadSnapshot(const std::string& path) {
    reg::FileContent content = reg::readWholeFile(path);
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->id = content.id;
    snapshot->status = content.status;
    if (!content.status.ok()) return snapshot;
    std::vector<RegKey> sections;
    RegResult parsed = parseRegText(content.bytes, sections, &snapshot->format);
    if (!parsed.ok()) {
        snapshot->status = {parsed.status, path + ": " + parsed.message};
        return snapshot;
    }
    snapshot->model.apply(sections);
    return snapshot;
}

// Line breaks and NULs would not survive the text file.
bool storable(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

RegResult checkKeyPath(std::string_view path) {
    if (!storable(path) || path.find("\\\\") != std::string_view::npos) {
        return {RegStatus::Malformed, "a key path cannot hold line breaks or empty names"};
    }
    return {};
}

// The view a ReadScope holds for its thread: the registry it belongs to and the
// snapshot it saw, which the scope owns. Nothing here needs destroying: a thread-local
// with a destructor would tie the thread's exit to a library that may be unloaded.
struct ThreadView {
    const void* owner = nullptr;
    std::shared_ptr<const void>* held = nullptr;
};
// Static TLS, as the script budget: the library holding it is unloaded at run time.
thread_local ThreadView tView __attribute__((tls_model("initial-exec")));

}  // namespace

struct Registry::Impl {
    using Edit = std::function<RegResult(reg::Model&, bool& changed)>;

    explicit Impl(std::string p) : path(std::move(p)) {}

    SnapshotPtr current() const {
        if (tView.owner == this && *tView.held) {
            return std::static_pointer_cast<const Snapshot>(*tView.held);
        }
        return fromFile();
    }

    SnapshotPtr fromFile() const {
        int error = 0;
        reg::FileId now = reg::statFile(path, error);
        bool statable = error == 0 || error == ENOENT;
        if (statable) {
            std::shared_lock lock(cacheMutex);
            if (cache && cache->status.status != RegStatus::IoError && cache->id.sameVersion(now)) {
                return cache;
            }
        }
        SnapshotPtr fresh = loadSnapshot(path);
        remember(fresh);
        return fresh;
    }

    void remember(SnapshotPtr snapshot) const {
        if (tView.owner == this) *tView.held = snapshot;
        std::unique_lock lock(cacheMutex);
        cache = std::move(snapshot);
    }

    RegResult change(const Edit& edit) {
        std::lock_guard inProcess(writeMutex);
        std::string target = reg::resolveLinks(path);
        reg::FileLock acrossProcesses(target);
        if (!acrossProcesses.status().ok()) return acrossProcesses.status();
        reg::removeStaleTemporaries(target);
        SnapshotPtr base = fromFile();  // exact: no one else writes while the lock is held
        if (!base->status.ok()) return base->status;
        auto next = std::make_shared<Snapshot>(*base);
        bool changed = false;
        RegResult result = edit(next->model, changed);
        if (!result.ok() || !changed) return result;
        result = reg::replaceFile(target, formatRegText(next->model.keys(), next->format), base->id,
                                  next->id);
        if (result.ok()) remember(std::move(next));
        return result;
    }

    std::string path;
    mutable std::shared_mutex cacheMutex;
    mutable SnapshotPtr cache;
    std::mutex writeMutex;
};

Registry::Registry(std::string path)
    : path_(std::move(path)), impl_(std::make_unique<Impl>(path_)) {}

Registry::~Registry() = default;

std::optional<RegValue> Registry::query(std::string_view key, std::string_view name) const {
    SnapshotPtr snapshot = impl_->current();
    const RegKey* found = snapshot->model.find(normalizeRegKeyPath(key));
    if (!found) return std::nullopt;
    for (const RegValue& value : found->values) {
        if (reg::namesEqual(value.name, name)) return value;
    }
    return std::nullopt;
}

bool Registry::keyExists(std::string_view key) const {
    return impl_->current()->model.keyExists(normalizeRegKeyPath(key));
}

std::vector<RegValue> Registry::values(std::string_view key) const {
    SnapshotPtr snapshot = impl_->current();
    const RegKey* found = snapshot->model.find(normalizeRegKeyPath(key));
    return found ? found->values : std::vector<RegValue>{};
}

std::vector<std::string> Registry::subkeys(std::string_view key) const {
    return impl_->current()->model.subkeys(normalizeRegKeyPath(key));
}

RegResult Registry::setValue(std::string_view key, const RegValue& value) {
    std::string path = normalizeRegKeyPath(key);
    RegResult valid = checkKeyPath(path);
    if (!valid.ok()) return valid;
    if (!storable(value.name)) {
        return {RegStatus::Malformed, "a value name cannot hold line breaks"};
    }
    return impl_->change([&](reg::Model& model, bool& changed) {
        changed = model.setValue(path, value);
        return RegResult{};
    });
}

RegResult Registry::deleteValue(std::string_view key, std::string_view name) {
    std::string path = normalizeRegKeyPath(key);
    return impl_->change([&](reg::Model& model, bool& changed) {
        changed = model.deleteValue(path, name);
        return changed ? RegResult{} : RegResult{RegStatus::NotFound, "no such value"};
    });
}

RegResult Registry::createKey(std::string_view key) {
    std::string path = normalizeRegKeyPath(key);
    RegResult valid = checkKeyPath(path);
    if (!valid.ok()) return valid;
    return impl_->change([&](reg::Model& model, bool& changed) {
        changed = model.createKey(path);
        return RegResult{};
    });
}

RegResult Registry::restrictKey(std::string_view key) {
    return createKey(key);
}

RegResult Registry::importText(std::string_view text) {
    std::vector<RegKey> sections;
    RegResult parsed = parseRegText(text, sections);
    if (!parsed.ok()) return parsed;
    return impl_->change([&](reg::Model& model, bool& changed) {
        changed = model.apply(sections);
        return RegResult{};
    });
}

std::string Registry::exportText(std::string_view key) const {
    SnapshotPtr snapshot = impl_->current();
    std::string path = normalizeRegKeyPath(key);
    std::vector<RegKey> selected;
    for (const RegKey& k : snapshot->model.keys()) {
        if (reg::isSameOrBelow(k.path, path)) selected.push_back(k);
    }
    return formatRegText(selected, snapshot->format);
}

bool Registry::present() const {
    return fileStatus(path_) == FileStatus::Ok && !isDirectory(path_);
}

RegResult Registry::loadStatus() const {
    return impl_->current()->status;
}

Registry::ReadScope::ReadScope(const Registry& registry)
    : outerOwner_(tView.owner), outerHeld_(tView.held), held_(registry.impl_->current()) {
    tView.owner = registry.impl_.get();
    tView.held = &held_;
}

Registry::ReadScope::~ReadScope() {
    // An outer scope of the same registry keeps what this one saw last: never older.
    if (tView.owner == outerOwner_) *outerHeld_ = held_;
    tView.owner = outerOwner_;
    tView.held = outerHeld_;
}

}  // namespace kz::platform
