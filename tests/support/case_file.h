#pragma once
// Fixture files of test cases: one case a line, fields separated by tabs, "#" lines and
// empty lines skipped, texts with \n \r \t \\ and \xHH escapes.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kz::test {

struct CaseLine {
    int number = 0;  // in the file, from 1
    std::vector<std::string> fields;
};

// The case lines of a file under tests/fixtures; none when it cannot be read.
std::vector<CaseLine> ReadCaseFile(std::string_view relative);
// The same, by group: a line of one field "[Name]" starts the cases of group Name.
std::map<std::string, std::vector<CaseLine>> ReadCaseGroups(std::string_view relative);
std::string Unescape(std::string_view text);

}  // namespace kz::test
