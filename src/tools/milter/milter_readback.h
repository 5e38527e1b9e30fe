#pragma once
// What a run left in the queue, read back without holding the body: the header block,
// the command file and the body's digest. Only a file that is absent (the agent deleted
// or moved the message) means gone; any other failure to read is an error the MTA hears
// as "try again later", never as a deletion.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kz::tool {

struct QueuedAfterRun {
    enum class State { Queued, Gone, Unreadable };
    State state = State::Unreadable;
    std::string why;         // for Unreadable
    std::string headers;     // the header block, its blank line included
    std::string bodyDigest;  // BodyDigest of what follows it
    std::uint64_t bodyOffset = 0;
    std::string commands;
};

// A header block longer than `headerLimit` is Unreadable.
QueuedAfterRun ReadQueuedMessage(const std::string& messageFile, const std::string& commandFile,
                                 std::size_t headerLimit);

// Where the body of a whole message text starts: after its first empty line, or at its
// end when it has none.
std::size_t BodyStartOf(std::string_view text);

// The body from `offset` on, in pieces of at most 64 KiB; false (with the reason) when the
// file cannot be read to its end or `take` refuses a piece.
bool StreamFileFrom(const std::string& path, std::uint64_t offset,
                    const std::function<bool(std::string_view)>& take, std::string& why);

}  // namespace kz::tool
