// kzmta reg: the administrator's view of the registry file.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "base/ascii.h"
#include "command_line.h"
#include "commands.h"
#include "config/registry_keys.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "reg_display.h"

namespace kz::tool {

namespace {

using platform::Registry;
using platform::RegResult;
using platform::RegStatus;

// Reported by the command line with the command's name; exit status 1.
int failure(const std::string& what) {
    throw std::runtime_error(what);
}

std::string valueName(const std::string& argument) {
    return argument == "@" ? "" : argument;
}

// Reads need a file that exists and parses; writes create a missing file.
void requireReadable(const Registry& registry) {
    RequireRegistryFile(registry.path());
    RegResult loaded = registry.loadStatus();
    if (!loaded.ok()) failure(loaded.message);
}

int reportWrite(const RegResult& result, const std::string& what) {
    if (result.ok()) return 0;
    if (result.status == RegStatus::NotFound) return failure(what);
    return failure(result.message);
}

// The secret the agent seals its own messages with: an administrator's listing or export
// (kept, mailed, pasted into a ticket) leaves it out unless asked.
bool secret(std::string_view name) {
    return equalsIgnoreCase(name, config::kLoopSealKey);
}

struct RegOptions {
    std::string registry;
    std::string key;
    std::string name;
    std::string file;
    std::optional<uint32_t> dword;
    std::optional<std::string> text;
    std::vector<std::string> texts;  // --multi, in order
    bool showSecrets = false;
};

int get(const RegOptions& o) {
    Registry registry(o.registry);
    requireReadable(registry);
    auto value = registry.query(o.key, valueName(o.name));
    if (!value) return failure("no value '" + o.name + "' under " + o.key);
    std::printf("%s\n", regValueText(*value).c_str());
    return 0;
}

// REG_MULTI_SZ: each text with its NUL, then the empty text that ends the list.
platform::RegValue multiString(std::string name, const std::vector<std::string>& texts) {
    platform::RegValue value{std::move(name), platform::RegType::MultiSz, {}};
    for (const std::string& text : texts) {
        if (text.empty() || text.find('\0') != std::string::npos)
            throw UsageError("--multi: an empty text would end the list; leave it out");
        value.data.insert(value.data.end(), text.begin(), text.end());
        value.data.push_back(0);
    }
    value.data.push_back(0);
    return value;
}

int set(const RegOptions& o) {
    if (int(o.dword.has_value()) + int(o.text.has_value()) + int(!o.texts.empty()) != 1)
        throw UsageError("set needs exactly one of --dword N, --string TEXT or --multi TEXT...");
    Registry registry(o.registry);
    std::string name = valueName(o.name);
    if (o.text) return reportWrite(registry.setString(o.key, name, *o.text), "");
    if (!o.texts.empty())
        return reportWrite(registry.setValue(o.key, multiString(name, o.texts)), "");
    return reportWrite(registry.setDword(o.key, name, *o.dword), "");
}

int remove(const RegOptions& o) {
    Registry registry(o.registry);
    requireReadable(registry);
    return reportWrite(registry.deleteValue(o.key, valueName(o.name)),
                       "no value '" + o.name + "' under " + o.key);
}

int list(const RegOptions& o) {
    Registry registry(o.registry);
    requireReadable(registry);
    if (!registry.keyExists(o.key)) return failure("no key " + o.key);
    for (const platform::RegValue& value : registry.values(o.key)) {
        std::string shown = !o.showSecrets && secret(value.name)
                                ? "(hidden; --show-secrets shows it)"
                                : regValueOneLine(value);
        std::printf("%s\t%s\t%s\n", value.name.empty() ? "@" : value.name.c_str(),
                    regTypeName(value.type).c_str(), shown.c_str());
    }
    return 0;
}

int import(const RegOptions& o) {
    errno = 0;  // the Windows file functions leave it alone
    std::optional<std::string> text = platform::readFile(o.file);
    if (!text) {
        return failure("cannot read " + o.file +
                       (errno ? std::string(": ") + std::strerror(errno) : std::string()));
    }
    Registry registry(o.registry);
    RegResult result = registry.importText(*text);
    if (result.status == RegStatus::Malformed && result.message.starts_with("line ")) {
        return failure(o.file + ": " + result.message);
    }
    return reportWrite(result, "");
}

// The export without the secret values: each becomes a comment, so that importing the
// export elsewhere leaves that registry's own secret in place.
std::string withoutSecrets(const std::string& exported) {
    std::string out;
    bool continued = false;  // inside a value written over several lines
    for (std::size_t at = 0; at < exported.size();) {
        std::size_t end = exported.find('\n', at);
        end = end == std::string::npos ? exported.size() : end + 1;
        std::string_view line(exported.data() + at, end - at);
        at = end;
        std::string_view content = line.substr(0, line.find_last_not_of("\r\n") + 1);
        bool skip = continued;
        if (!continued && content.starts_with('"')) {
            std::size_t close = content.find("\"=");
            skip = close != std::string_view::npos && secret(content.substr(1, close - 1));
            if (skip)
                out += "; \"" + std::string(content.substr(1, close - 1)) +
                       "\" left out: kzmta reg export --show-secrets includes it\n";
        }
        if (skip) {
            continued = content.ends_with('\\');
            continue;
        }
        out += line;
    }
    return out;
}

int exportKey(const RegOptions& o) {
    Registry registry(o.registry);
    requireReadable(registry);
    if (!registry.keyExists(o.key)) return failure("no key " + o.key);
    std::string text = registry.exportText(o.key);
    if (!o.showSecrets) text = withoutSecrets(text);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace

void AddRegCommand(CommandLine& cli) {
    auto o = std::make_shared<RegOptions>();
    CLI::App& reg = cli.addGroup(cli.root(), "reg",
                                 "read and change the registry file (get, set, delete, list, "
                                 "import, export)");
    AddRegistryOption(reg, o->registry);
    reg.footer(
        "KEY is written like SOFTWARE\\Kaztrel\\Kaztrel (a leading HKEY_LOCAL_MACHINE\\ or "
        "HKLM\\ is accepted); NAME @ is the key's default value.");
    auto command = [&](const char* name, const char* summary, int (*run)(const RegOptions&)) {
        return &cli.add(reg, name, summary, [o, run] { return run(*o); });
    };
    auto keyAndName = [&](CLI::App* command) {
        command->add_option("KEY", o->key, "the key")->required();
        command->add_option("NAME", o->name, "the value's name")->required();
        return command;
    };
    keyAndName(command("get", "print a value (text, or a number in decimal)", get));
    CLI::App* setValue = keyAndName(command("set", "set a value to a number or a text", set));
    setValue->add_option("--dword", o->dword, "a REG_DWORD value, decimal or 0x hexadecimal")
        ->type_name("N")
        ->transform(CLI::Validator(
            [](std::string& text) -> std::string {
                auto number = parseDwordArgument(text);
                if (!number) return "needs a number from 0 to 4294967295, not '" + text + "'";
                text = std::to_string(*number);
                return {};
            },
            "NUMBER 0 to 4294967295", "Dword"));
    setValue->add_option("--string", o->text, "a REG_SZ value")->type_name("TEXT");
    setValue
        ->add_option("--multi", o->texts,
                     "a REG_MULTI_SZ value: one TEXT after each --multi, in order (\"Audit "
                     "Filters\")")
        ->type_name("TEXT")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    keyAndName(command("delete", "remove a value", remove));
    CLI::App* listValues =
        command("list", "print the key's values as NAME<TAB>TYPE<TAB>VALUE", list);
    listValues->add_option("KEY", o->key, "the key")->required();
    CLI::App* importFile = command("import", "apply a .reg file", import);
    importFile->add_option("FILE", o->file, "the .reg file")->required();
    CLI::App* exportKeys =
        command("export", "print the file as .reg text, or one key and its subkeys", exportKey);
    exportKeys->add_option("KEY", o->key, "the key (default: the whole file)");
    for (CLI::App* shows : {listValues, exportKeys})
        shows->add_flag("--show-secrets", o->showSecrets, "include the \"Loop Seal Key\"");
}

}  // namespace kz::tool
