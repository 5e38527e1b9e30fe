#pragma once
// A folder on a small file system that is full, for one program run: the program runs in a
// mount namespace of its own (unshare) where a 64 KB tmpfs over the folder holds what the
// test put there and then nothing more. The folder's files after the run replace the
// test's. Where namespaces cannot be made the run is reported as not made.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kz::test {

// Empty when the file system could not be made; otherwise the program's output.
inline std::optional<RunOutput> RunWithFullFolder(const std::string& folder,
                                                  const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& env) {
    static const char* const kScript = R"(
f=$1; shift
mkdir -p "$f.before" "$f.after" && cp -a "$f/." "$f.before/" || exit 97
mount -t tmpfs -o size=64k kztest "$f" 2>/dev/null || exit 97
cp -a "$f.before/." "$f/" || exit 97
cat /dev/zero >"$f/.full" 2>/dev/null
"$@"
status=$?
rm -f "$f/.full"
cp -a "$f/." "$f.after/"
exit $status
)";
    std::vector<std::string> wrapped = {"unshare", "-rm", "sh", "-c", kScript, "sh", folder};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    RunOutput out = run(wrapped, env);
    namespace fs = std::filesystem;
    fs::remove_all(folder + ".before");
    if (out.status == 97 || !fs::exists(folder + ".after")) {
        fs::remove_all(folder + ".after");
        return std::nullopt;
    }
    fs::remove_all(folder);
    fs::rename(folder + ".after", folder);
    return out;
}

}  // namespace kz::test
