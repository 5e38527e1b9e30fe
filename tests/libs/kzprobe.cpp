// A small library for the loading tests: one exported entry, one hidden function.

#include "platform/exports.h"

namespace {
int hiddenValue() {
    return 41;
}
}  // namespace

KZ_EXPORT int KZ_STDCALL KZ_ProbeAnswer(int add) {
    return hiddenValue() + add;
}
