#pragma once
// The registry of the local machine, kept in one text file in the format of
// registry-editor exports. Key paths are written relative to HKEY_LOCAL_MACHINE
// ("SOFTWARE\Kaztrel\Kaztrel\..."; a leading "HKEY_LOCAL_MACHINE\" or "HKLM\" is
// accepted too); key and value names compare without regard to ASCII case, and the file
// keeps the spelling first written. One Registry object may be shared by any number of
// threads; another process's write is seen at the next read.

#include <cstdint>
#include <memory>
#include <optional>
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
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

// A value as the narrow-character registry functions return it: typed bytes. A REG_SZ
// holds its text plus the terminating NUL, as on Windows, so size rules of the readers
// stay exact. Text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is held in UTF-8; the file's
// UTF-16 hex forms are converted on the way in and out.
struct RegValue {
    std::string name;  // "" is the key's default value ("@" in the file)
    RegType type = RegType::None;
    std::vector<uint8_t> data;

    static RegValue fromString(std::string name, std::string_view text);
    static RegValue fromDword(std::string name, uint32_t value);
    std::string asString() const;  // bytes up to the first NUL
    // asString, and for REG_EXPAND_SZ every %NAME% of the environment replaced by its
    // value (unknown names stay as written), as programs that read such a value do.
    std::string expandedString() const;
    std::optional<uint32_t> asDword() const;  // little-endian, when 1 to 4 bytes

    bool operator==(const RegValue&) const = default;
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

    // The path named by KZ_REGISTRY, else the build's default (/etc/kzmta/registry.reg;
    // an installed build's is /var/lib/kzmta/registry.reg).
    static std::string defaultPath();

    const std::string& path() const { return path_; }
    // Whether there is a registry to read: the file exists (on Windows the system's
    // registry, which always does).
    bool present() const;

    // Reads: one stat per call; the file is parsed again only when it changed.
    std::optional<RegValue> query(std::string_view key, std::string_view name) const;
    // A key exists when it has a section or a section lies below it.
    bool keyExists(std::string_view key) const;
    std::vector<RegValue> values(std::string_view key) const;      // in file order
    std::vector<std::string> subkeys(std::string_view key) const;  // immediate children

    // Writes: lock across processes, re-read, change, write a temporary file, rename.
    // An unchanged value is not written again. A file that does not parse is left
    // alone and the write fails with Malformed.
    RegResult setValue(std::string_view key, const RegValue& value);
    RegResult setString(std::string_view key, std::string_view name, std::string_view text);
    RegResult setDword(std::string_view key, std::string_view name, uint32_t value);
    RegResult deleteValue(std::string_view key, std::string_view name);  // NotFound if absent
    RegResult createKey(std::string_view key);
    // Creates the key when missing and lets only the system, administrators and the
    // account this process runs as open it. The registry file has one owner and mode for
    // all its keys, so there it only creates the key.
    RegResult restrictKey(std::string_view key);

    // Applies every key, value and deletion of a .reg text to the file in one locked
    // write; a text that does not parse changes nothing.
    RegResult importText(std::string_view text);
    // The whole file, or one key and its subkeys, as .reg text (UTF-8, LF).
    std::string exportText(std::string_view key = {}) const;

    // Status of the last load: Ok, or Malformed/IoError with the reason. A missing
    // file reads as an empty registry; a file that does not parse reads as empty too.
    RegResult loadStatus() const;

    // While a ReadScope lives, the reads of its thread from this registry see the
    // registry as it was when the scope began (one look at the file for all of them);
    // a write through this object is seen by the scope's later reads. Scopes nest.
    class ReadScope {
      public:
        explicit ReadScope(const Registry& registry);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

      private:
        const void* outerOwner_ = nullptr;
        std::shared_ptr<const void>* outerHeld_ = nullptr;
        std::shared_ptr<const void> held_;
    };

  private:
    struct Impl;
    std::string path_;
    std::unique_ptr<Impl> impl_;
};

// One section of a .reg text.
struct RegKey {
    std::string path;              // relative to HKEY_LOCAL_MACHINE, as written in the file
    bool remove = false;           // "[-KEY]": delete the key and its subkeys
    std::vector<RegValue> values;  // set, in the order written
    std::vector<std::string> removedValues;  // "Name"=- lines
};

// The two versions of .reg text. In a "REGEDIT4" text every value is the bytes written
// (8-bit text); in version 5.00 the hex forms of text values hold UTF-16LE.
enum class RegFormat { Version5, Regedit4 };

// Parses .reg text (UTF-8/ANSI, optionally with a BOM, or UTF-16LE with BOM). Sections
// are returned as written; a repeated section is a second entry. Errors name the line.
// `format`, when given, receives the version of the text.
RegResult parseRegText(std::string_view bytes, std::vector<RegKey>& out,
                       RegFormat* format = nullptr);
// .reg text of the version in UTF-8 with LF line ends, which parses back to the same
// bytes for every value.
std::string formatRegText(const std::vector<RegKey>& keys, RegFormat format = RegFormat::Version5);

// A key path without a leading hive name or surrounding backslashes.
std::string normalizeRegKeyPath(std::string_view key);

}  // namespace kz::platform
