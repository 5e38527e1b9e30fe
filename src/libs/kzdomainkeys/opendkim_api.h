#pragma once
// libopendkim's header, which is written for C: its _Bool is C++'s bool.

#ifdef __cplusplus
#define _Bool bool
#endif
#include <dkim.h>
#ifdef __cplusplus
#undef _Bool
#endif
