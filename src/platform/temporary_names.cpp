#include <atomic>
#include <charconv>
#include <chrono>

#include "platform/files.h"
#include "platform/process_info.h"

namespace kz::platform {

namespace {

// Windows takes both separators; elsewhere a backslash belongs to the name.
#ifdef _WIN32
constexpr std::string_view kSeparators = "\\/";
#else
constexpr std::string_view kSeparators = "/";
#endif

// Room left in a name for the temporary decoration, so a long name still gives a
// temporary name the file system accepts.
constexpr size_t kMaxTemporaryBase = 180;

void appendHex(std::string& out, uint64_t value) {
    char digits[16];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, 16);
    out.append(digits, ec == std::errc() ? end : digits);
}

}  // namespace

std::string temporaryNameFor(std::string_view path) {
    static std::atomic<uint64_t> counter{0};
    size_t slash = path.find_last_of(kSeparators);
    std::string_view dir =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    base = base.substr(0, kMaxTemporaryBase);
    auto now = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    // A leading dot and the ".tmp" end keep the temporary out of scans for real names.
    std::string name(dir);
    name += '.';
    name += base;
    name += '.';
    appendHex(name, currentProcessId());
    name += '-';
    appendHex(name, counter.fetch_add(1));
    name += '-';
    appendHex(name, now & 0xFFFFFF);
    name += ".tmp";
    return name;
}

bool isTemporaryName(std::string_view name) {
    return name.size() > 5 && name.front() == '.' && name.ends_with(".tmp");
}

}  // namespace kz::platform
