#include "script/limits.h"

#include "script/error.h"
#include "script/value.h"

namespace kz::script {

namespace {

// The budget of the run on this thread; engines run on one thread at a time.
// Static TLS, for the same reason as the loader's last error: the agent is unloaded at
// run time.
thread_local std::size_t* tRemaining __attribute__((tls_model("initial-exec"))) = nullptr;

[[noreturn]] void OutOfMemory() {
    ThrowFatal(kOutOfMemory, ErrorCode(kOutOfMemory), ErrorText(kOutOfMemory));
}

void Charge(std::size_t bytes) {
    if (!tRemaining) return;
    if (bytes > *tRemaining) OutOfMemory();
    *tRemaining -= bytes;
}

}  // namespace

void CheckStringLength(std::size_t length) {
    if (length > kMaxStringLength) OutOfMemory();
    Charge(length);
}

void CheckArrayItems(std::size_t count) {
    if (count > kMaxArrayItems) OutOfMemory();
    Charge(count * sizeof(Value));
}

BudgetScope::BudgetScope(std::size_t& remaining) : outer_(tRemaining) {
    tRemaining = &remaining;
}

BudgetScope::~BudgetScope() {
    tRemaining = outer_;
}

}  // namespace kz::script
