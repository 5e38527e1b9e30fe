#pragma once
// The lines a message run writes to standard output go out together when the run ends:
// a write per line cost a system call each, over a hundred per message with large word
// lists. Lines stay whole, so concurrent runs still never interleave within a line.

#include <string>
#include <string_view>

namespace kz::log {

// While one lives on a thread (the outermost, when nested), that thread's console lines
// gather in it; it writes them when it ends, or earlier when they grow large.
class ConsoleBatch {
  public:
    ConsoleBatch();
    ~ConsoleBatch();
    ConsoleBatch(const ConsoleBatch&) = delete;
    ConsoleBatch& operator=(const ConsoleBatch&) = delete;

  private:
    friend void WriteConsole(std::string_view text);
    friend void FlushConsole();
    void flush();

    ConsoleBatch* outer_;
    std::string lines_;
};

// One or more whole lines for standard output: into the thread's batch, or out at once.
void WriteConsole(std::string_view text);
// Writes the thread's batch now: before a program that shares the output starts.
void FlushConsole();

}  // namespace kz::log
