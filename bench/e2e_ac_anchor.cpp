// Anchor of the end-to-end benchmark: one Aho-Corasick pass per message file finds every
// entry of a word list that stands there as a whole word (ASCII case ignored), the work a
// word-list filter cannot avoid. Building the automaton is timed too. Prints label,
// messages, seconds and messages per second, like e2e_drive.
//
//   e2e_ac_anchor WORDS FILES LABEL [REPEATS]

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <queue>
#include <string>
#include <vector>

namespace {

unsigned char fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}
bool isDelimiter(unsigned char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\'' || c == '"';
}

class Automaton {
  public:
    explicit Automaton(const std::vector<std::string>& words) : length_(words.size()) {
        goto_.push_back({});
        output_.push_back(-1);
        for (std::size_t w = 0; w < words.size(); ++w) {
            std::int32_t state = 0;
            for (unsigned char c : words[w]) {
                std::int32_t& to = goto_[std::size_t(state)][fold(c)];
                if (to == 0) {
                    to = std::int32_t(goto_.size());
                    goto_.push_back({});
                    output_.push_back(-1);
                }
                state = goto_[std::size_t(state)][fold(c)];
            }
            output_[std::size_t(state)] = std::int32_t(w);
            length_[w] = words[w].size();
        }
        // Breadth first: each state's missing moves are its failure state's moves, and
        // its dictionary link is the nearest failure state that ends a word.
        std::vector<std::int32_t> failure(goto_.size(), 0);
        link_.assign(goto_.size(), -1);
        std::queue<std::int32_t> pending;
        for (std::int32_t to : goto_[0]) {
            if (to != 0) pending.push(to);
        }
        while (!pending.empty()) {
            const std::size_t state = std::size_t(pending.front());
            pending.pop();
            for (int c = 0; c < 256; ++c) {
                std::int32_t& to = goto_[state][std::size_t(c)];
                const std::int32_t fallback = goto_[std::size_t(failure[state])][std::size_t(c)];
                if (to == 0) {
                    to = fallback;
                    continue;
                }
                failure[std::size_t(to)] = fallback;
                link_[std::size_t(to)] =
                    output_[std::size_t(fallback)] >= 0 ? fallback : link_[std::size_t(fallback)];
                pending.push(to);
            }
        }
    }

    // Distinct words standing whole in the text.
    std::size_t count(const std::string& text, std::vector<std::uint32_t>& seen,
                      std::uint32_t generation) const {
        std::size_t found = 0;
        std::int32_t state = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            state = goto_[std::size_t(state)][std::uint8_t(text[i])];
            for (std::int32_t s = output_[std::size_t(state)] >= 0 ? state
                                                                   : link_[std::size_t(state)];
                 s > 0; s = link_[std::size_t(s)]) {
                const std::size_t word = std::size_t(output_[std::size_t(s)]);
                const std::size_t begin = i + 1 - length_[word];
                if ((begin == 0 || isDelimiter(std::uint8_t(text[begin - 1]))) &&
                    (i + 1 == text.size() || isDelimiter(std::uint8_t(text[i + 1]))) &&
                    seen[word] != generation) {
                    seen[word] = generation;
                    ++found;
                }
            }
        }
        return found;
    }

  private:
    std::vector<std::array<std::int32_t, 256>> goto_;
    std::vector<std::int32_t> output_;
    std::vector<std::int32_t> link_;
    std::vector<std::size_t> length_;
};

std::vector<std::string> readLines(const char* path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: e2e_ac_anchor WORDS FILES LABEL [REPEATS]\n");
        return 2;
    }
    const std::vector<std::string> words = readLines(argv[1]);
    const std::vector<std::string> files = readLines(argv[2]);
    const int repeats = argc > 4 ? std::atoi(argv[4]) : 1;
    const auto start = std::chrono::steady_clock::now();
    const Automaton automaton(words);
    std::vector<std::uint32_t> seen(words.size(), 0);
    std::uint32_t generation = 0;
    std::size_t found = 0;
    for (int r = 0; r < repeats; ++r) {
        for (const std::string& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), {});
            found += automaton.count(text, seen, ++generation);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t messages = files.size() * std::size_t(repeats);
    std::printf("%s %zu %.4f %.2f\n", argv[3], messages, seconds, double(messages) / seconds);
    return found == 0 && messages > 0;
}
