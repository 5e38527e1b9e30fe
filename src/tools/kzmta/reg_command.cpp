// kzmta reg: the administrator's view of the registry file.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "platform/registry.h"
#include "reg_display.h"

namespace kz::tool {

namespace {

using platform::Registry;
using platform::RegResult;
using platform::RegStatus;

constexpr const char* kUsage =
    "usage: kzmta reg [--registry FILE] COMMAND\n"
    "  get KEY NAME                           print a value (text, or a number in decimal)\n"
    "  set KEY NAME (--dword N | --string TEXT)\n"
    "  delete KEY NAME\n"
    "  list KEY                               print NAME<TAB>TYPE<TAB>VALUE lines\n"
    "  import FILE                            apply a .reg file\n"
    "  export [KEY]                           print the file, or one key and its subkeys\n"
    "KEY is written like SOFTWARE\\Kaztrel\\Kaztrel (a leading HKEY_LOCAL_MACHINE\\ or HKLM\\ "
    "is accepted); NAME @ is the key's default value.\n";

int usageError(const std::string& what) {
    std::fprintf(stderr, "kzmta reg: %s\n%s", what.c_str(), kUsage);
    return 2;
}

int failure(const std::string& what) {
    std::fprintf(stderr, "kzmta reg: %s\n", what.c_str());
    return 1;
}

std::string valueName(const std::string& argument) {
    return argument == "@" ? "" : argument;
}

// Reads need a file that parses; a missing file is an empty registry.
bool readable(const Registry& registry, int& status) {
    RegResult loaded = registry.loadStatus();
    if (loaded.ok()) return true;
    status = failure(loaded.message);
    return false;
}

int reportWrite(const RegResult& result, const std::string& what) {
    if (result.ok()) return 0;
    if (result.status == RegStatus::NotFound) return failure(what);
    return failure(result.message);
}

int get(const Registry& registry, const Args& args) {
    if (args.size() != 2) return usageError("get needs KEY and NAME");
    int status = 0;
    if (!readable(registry, status)) return status;
    auto value = registry.query(args[0], valueName(args[1]));
    if (!value) return failure("no value '" + args[1] + "' under " + args[0]);
    std::printf("%s\n", regValueText(*value).c_str());
    return 0;
}

int set(Registry& registry, Args args) {
    std::string dword, text;
    bool isDword = takeOption(args, "--dword", dword);
    bool isString = takeOption(args, "--string", text);
    if (isDword == isString)
        return usageError("set needs exactly one of --dword N or --string TEXT");
    if (args.size() != 2) return usageError("set needs KEY and NAME");
    std::string name = valueName(args[1]);
    if (isString) return reportWrite(registry.setString(args[0], name, text), "");
    auto number = parseDwordArgument(dword);
    if (!number)
        return usageError("--dword needs a number from 0 to 4294967295, not '" + dword + "'");
    return reportWrite(registry.setDword(args[0], name, *number), "");
}

int remove(Registry& registry, const Args& args) {
    if (args.size() != 2) return usageError("delete needs KEY and NAME");
    return reportWrite(registry.deleteValue(args[0], valueName(args[1])),
                       "no value '" + args[1] + "' under " + args[0]);
}

int list(const Registry& registry, const Args& args) {
    if (args.size() != 1) return usageError("list needs KEY");
    int status = 0;
    if (!readable(registry, status)) return status;
    if (!registry.keyExists(args[0])) return failure("no key " + args[0]);
    for (const platform::RegValue& value : registry.values(args[0])) {
        std::printf("%s\t%s\t%s\n", value.name.empty() ? "@" : value.name.c_str(),
                    regTypeName(value.type).c_str(), regValueOneLine(value).c_str());
    }
    return 0;
}

int import(Registry& registry, const Args& args) {
    if (args.size() != 1) return usageError("import needs FILE");
    std::ifstream file(args[0], std::ios::binary);
    if (!file) return failure("cannot read " + args[0] + ": " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    RegResult result = registry.importText(text.str());
    if (result.status == RegStatus::Malformed && result.message.starts_with("line ")) {
        return failure(args[0] + ": " + result.message);
    }
    return reportWrite(result, "");
}

int exportKey(const Registry& registry, const Args& args) {
    if (args.size() > 1) return usageError("export takes at most one KEY");
    int status = 0;
    if (!readable(registry, status)) return status;
    std::string key = args.empty() ? std::string() : args[0];
    if (!registry.keyExists(key)) return failure("no key " + key);
    std::string text = registry.exportText(key);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace

int runRegCommand(const Args& arguments) {
    Args args = arguments;
    std::string path = takeRegistryPath(args);
    if (args.empty()) return usageError("a command is needed");
    std::string command = args.front();
    args.erase(args.begin());
    Registry registry(path);
    if (command == "get") return get(registry, args);
    if (command == "set") return set(registry, args);
    if (command == "delete") return remove(registry, args);
    if (command == "list") return list(registry, args);
    if (command == "import") return import(registry, args);
    if (command == "export") return exportKey(registry, args);
    return usageError("unknown command '" + command + "'");
}

}  // namespace kz::tool
