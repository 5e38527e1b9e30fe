#include "message/scan_line_reader.h"

namespace kz {

bool BoundedLineReader::next(ScanLine& line) {
    line.text.clear();
    line.startsLine = atLineStart_;
    char c = 0;
    while (line.text.size() < kReadLimit && in_.get(c)) {
        line.text.push_back(c);
        if (c == '\n') break;
    }
    if (line.text.empty()) return false;
    atLineStart_ = line.text.back() == '\n';
    return true;
}

}  // namespace kz
