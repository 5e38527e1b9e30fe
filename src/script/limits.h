#pragma once
// The bounds of one script run: time, call depth, stack and memory.

#include <chrono>
#include <cstddef>

namespace kz::script {

struct Limits {
    std::chrono::milliseconds time{1000};
    int maxCallDepth = 400;
    // Bytes of the thread's stack that nested calls may take, whatever the frame sizes.
    std::size_t maxStackBytes = 512 * 1024;
};

// The longest string and the largest array a script may build.
constexpr std::size_t kMaxStringLength = 4 * 1024 * 1024;
constexpr std::size_t kMaxArrayItems = 1024 * 1024;

// Bytes of strings and array elements one run may create in all; the sizes above bound
// one value, this bounds the many a loop can keep.
constexpr std::size_t kAllocationBudget = 256 * 1024 * 1024;

// Throw the fatal Out of memory error past those sizes, and charge the run's budget.
void CheckStringLength(std::size_t length);
void CheckArrayItems(std::size_t count);

// Makes a budget the current thread's for the span of one run.
class BudgetScope {
  public:
    explicit BudgetScope(std::size_t& remaining);
    ~BudgetScope();
    BudgetScope(const BudgetScope&) = delete;
    BudgetScope& operator=(const BudgetScope&) = delete;

  private:
    std::size_t* outer_;
};

}  // namespace kz::script
