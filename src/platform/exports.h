#pragma once
// How entries that other modules call by name are declared: plain C names, the callee
// removes its arguments on 32-bit Windows, and only these names are visible outside the
// library (everything else is built hidden).
//
//   KZ_EXPORT int KZ_STDCALL FilterInit(...);
//
// On 32-bit Windows a module definition file keeps the __stdcall names undecorated.

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define KZ_STDCALL __stdcall
#else
#define KZ_STDCALL
#endif

#if defined(_WIN32)
#define KZ_EXPORT extern "C" __declspec(dllexport)
#else
#define KZ_EXPORT extern "C" __attribute__((visibility("default")))
#endif
