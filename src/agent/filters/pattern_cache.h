#pragma once
// Word files held in memory, keyed by their resolved path, so that evaluations match
// them without reading the disk. Filled while a table loads; read-only afterwards.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/compiled_word_list.h"

namespace kz::filters {

struct PatternList {
    std::string path;
    CompiledWordList words;  // the non-empty lines, in file order, for a shared search

    const std::vector<std::string>& lines() const { return words.entries(); }
};

// The word file at `path` (a missing or empty file gives no lines).
std::shared_ptr<const PatternList> LoadPatternList(const std::string& path);

class PatternCache {
  public:
    // Exact byte comparison of paths: the resolved path is the key.
    // Shared, so that what was compiled from the table keeps its lists alive.
    std::shared_ptr<const PatternList> find(std::string_view path) const;
    bool contains(std::string_view path) const { return lists_.count(path) != 0; }
    // Reads the word file and keeps it, unless the path is already held. True when
    // the file was read now.
    bool load(const std::string& path);
    void clear() { lists_.clear(); }
    std::size_t size() const { return lists_.size(); }
    bool empty() const { return lists_.empty(); }

  private:
    std::map<std::string, std::shared_ptr<const PatternList>, std::less<>> lists_;
};

}  // namespace kz::filters
