#pragma once
// The messages of mail folders as an administrator hands them to kzmta: message files,
// folders (searched through, subfolders included), Maildir folders (their cur and new
// folders; tmp holds deliveries still being written) and mbox files (a file that begins
// with a "From " line). Memory stays bounded whatever the input: files are read in
// pieces, and a message longer than kMaxFolderMessage is cut there.

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace kz::tool {

inline constexpr std::size_t kMaxFolderMessage = std::size_t(64) << 20;

struct FolderMessage {
    // The file's path; for a message of an mbox file, the path, "#" and its number from 1.
    std::string name;
    std::string text;  // as stored: without the mbox separator line and its quoting
    std::string file;  // the file that holds this message alone; empty in an mbox file
    bool cut = false;  // longer than kMaxFolderMessage
};

using MessageVisitor = std::function<void(FolderMessage&&)>;

// Splits mbox text into its messages. A message begins at a "From " line that starts
// the text or follows an empty line; the empty line before it belongs to the separator.
// Lines of ">From ", ">>From ", ... lose one ">" (the quoting of mboxrd).
void ReadMbox(std::istream& in, const std::string& name, std::size_t maxMessage,
              const MessageVisitor& visit);

// Every message under the paths, in the order given, each folder's entries in name
// order. `problem` hears of what cannot be read (the walk goes on); a path that does not
// exist throws std::runtime_error before anything is visited.
void ReadMailFolders(const std::vector<std::string>& paths, const MessageVisitor& visit,
                     const std::function<void(const std::string&)>& problem);

}  // namespace kz::tool
