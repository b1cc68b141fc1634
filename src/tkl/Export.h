// Export and calling-convention macros of libcustovia.
//
// TKL_API marks a class or function that leaves the shared library. The
// library is built with hidden visibility, so everything else stays inside.
// TKL_CALL is the calling convention of the exported functions: __stdcall on
// 32-bit Windows, nothing elsewhere.
#pragma once

#if defined(_WIN32)
#if defined(CUSTOVIA_BUILDING)
#define TKL_API __declspec(dllexport)
#else
#define TKL_API __declspec(dllimport)
#endif
#else
#define TKL_API __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define TKL_CALL __stdcall
#else
#define TKL_CALL
#endif
