#pragma once
// The registry of the local machine, kept in one text file in the format of
// registry-editor exports. Key paths are written relative to HKEY_LOCAL_MACHINE
// ("SOFTWARE\Kaztrel\Kaztrel\..."); key and value names compare without regard to case.
// One Registry object may be shared by any number of threads; another process's write
// is seen at the next read.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

enum class RegType : uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
    Qword = 11,
};

// A value as the registry holds it: typed bytes. A REG_SZ holds its text plus the
// terminating NUL, as on Windows, so size rules of the readers stay exact.
struct RegValue {
    std::string name;
    RegType type = RegType::None;
    std::vector<uint8_t> data;

    static RegValue fromString(std::string name, std::string_view text);
    static RegValue fromDword(std::string name, uint32_t value);
    std::string asString() const;          // bytes up to the first NUL
    std::optional<uint32_t> asDword() const;  // little-endian, when at most 4 bytes
};

enum class RegStatus { Ok, NotFound, Malformed, IoError };

struct RegResult {
    RegStatus status = RegStatus::Ok;
    std::string message;  // for Malformed/IoError: what went wrong, with the line number
    bool ok() const { return status == RegStatus::Ok; }
};

class Registry {
public:
    explicit Registry(std::string path);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The path named by KZ_REGISTRY, else /etc/kzmta/registry.reg.
    static std::string defaultPath();

    const std::string& path() const { return path_; }

    // Reads: re-parse only when the file changed since the last read.
    std::optional<RegValue> query(std::string_view key, std::string_view name) const;
    bool keyExists(std::string_view key) const;
    std::vector<RegValue> values(std::string_view key) const;  // in file order
    std::vector<std::string> subkeys(std::string_view key) const;  // immediate children

    // Writes: lock across processes, re-read, change, write a temporary file, rename.
    // An unchanged value is not written again.
    RegResult setValue(std::string_view key, const RegValue& value);
    RegResult setString(std::string_view key, std::string_view name, std::string_view text);
    RegResult setDword(std::string_view key, std::string_view name, uint32_t value);
    RegResult deleteValue(std::string_view key, std::string_view name);
    RegResult createKey(std::string_view key);

    // Merge every key and value of a .reg text into the file (one locked write).
    RegResult importText(std::string_view text);
    // The whole file, or one key and its subkeys, as .reg text (UTF-8, LF).
    std::string exportText(std::string_view key = {}) const;

    // Status of the last load: Ok, or Malformed/IoError with the reason. A missing
    // file reads as an empty registry.
    RegResult loadStatus() const;

private:
    struct Impl;
    std::string path_;
    std::unique_ptr<Impl> impl_;
};

// Parses .reg text (UTF-8/ANSI, or UTF-16LE with BOM) for tools and tests.
struct RegKey {
    std::string path;  // relative to HKEY_LOCAL_MACHINE, as written in the file
    std::vector<RegValue> values;
};
RegResult parseRegText(std::string_view bytes, std::vector<RegKey>& out);
std::string formatRegText(const std::vector<RegKey>& keys);

}  // namespace kz::platform
