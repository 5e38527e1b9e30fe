#pragma once
// Word files held in memory, keyed by their resolved path, so that evaluations match
// them without reading the disk. Filled while a table loads; read-only afterwards.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kz::filters {

struct PatternList {
    std::string path;
    std::vector<std::string> lines;  // the non-empty lines, in file order
};

// Fills `list` from the word file at `path` (a missing or empty file gives no lines).
void LoadPatternList(const std::string& path, PatternList& list);

class PatternCache {
  public:
    // Exact byte comparison of paths: the resolved path is the key.
    const PatternList* find(std::string_view path) const;
    bool contains(std::string_view path) const { return find(path) != nullptr; }
    // Reads the word file and keeps it, unless the path is already held. True when
    // the file was read now.
    bool load(const std::string& path);
    void clear() { lists_.clear(); }
    std::size_t size() const { return lists_.size(); }
    bool empty() const { return lists_.empty(); }

  private:
    std::map<std::string, PatternList, std::less<>> lists_;
};

}  // namespace kz::filters
