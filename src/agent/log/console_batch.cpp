#include "log/console_batch.h"

#include "platform/console.h"

namespace kz::log {

namespace {

// Beyond this the lines go out before the run ends.
constexpr std::size_t kBatchLimit = 64 * 1024;

// Static TLS with nothing to destroy: the library that holds it is unloaded at run time.
thread_local ConsoleBatch* tBatch __attribute__((tls_model("initial-exec"))) = nullptr;

}  // namespace

ConsoleBatch::ConsoleBatch() : outer_(tBatch) {
    if (!outer_) tBatch = this;
}

ConsoleBatch::~ConsoleBatch() {
    if (outer_) return;
    flush();
    tBatch = nullptr;
}

void ConsoleBatch::flush() {
    if (lines_.empty()) return;
    platform::writeStdout(lines_);
    lines_.clear();
}

void WriteConsole(std::string_view text) {
    ConsoleBatch* batch = tBatch;
    if (!batch) {
        platform::writeStdout(text);
        return;
    }
    batch->lines_.append(text);
    if (batch->lines_.size() >= kBatchLimit) batch->flush();
}

void FlushConsole() {
    if (tBatch) tBatch->flush();
}

}  // namespace kz::log
