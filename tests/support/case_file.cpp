#include "support/case_file.h"

#include <fstream>

#include "support/test_support.h"

namespace kz::test {

std::vector<CaseLine> ReadCaseFile(std::string_view relative) {
    std::vector<CaseLine> cases;
    std::ifstream in(fixture(relative));
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        cases.push_back({number, tabFields(line)});
    }
    return cases;
}

std::map<std::string, std::vector<CaseLine>> ReadCaseGroups(std::string_view relative) {
    std::map<std::string, std::vector<CaseLine>> groups;
    std::string group;
    for (CaseLine& c : ReadCaseFile(relative)) {
        const std::string& first = c.fields[0];
        if (c.fields.size() == 1 && first.size() > 1 && first.front() == '[' && first.back() == ']')
            group = first.substr(1, first.size() - 2);
        else
            groups[group].push_back(std::move(c));
    }
    return groups;
}

std::string Unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char e = s[++i];
        if (e == 'x' && i + 2 < s.size()) {
            out += char(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
    }
    return out;
}

}  // namespace kz::test
