// The preprocessor work behind the call tables in windows.h and ddraw.h.
//
// A table row names a call: its result type, how the trace shows the
// result, its name, then each parameter as (type, name, how the trace shows
// it). From one row come the declaration the program sees, the function at
// the layer's edge (trace.cpp) and what the trace needs to decode it, so
// the three cannot disagree.
#pragma once

#define W32_CAT(a, b) W32_CAT_(a, b)
#define W32_CAT_(a, b) a##b

// How many arguments, 1 to 12 (the most a call of ours takes).
#define W32_COUNT(...) W32_COUNT_(__VA_ARGS__, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define W32_COUNT_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, n, ...) n

// m(type, name, shown) for each parameter, separated by commas.
#define W32_EACH(m, ...) W32_CAT(W32_EACH_, W32_COUNT(__VA_ARGS__))(m, __VA_ARGS__)
#define W32_EACH_1(m, p) m p
#define W32_EACH_2(m, p, ...) m p, W32_EACH_1(m, __VA_ARGS__)
#define W32_EACH_3(m, p, ...) m p, W32_EACH_2(m, __VA_ARGS__)
#define W32_EACH_4(m, p, ...) m p, W32_EACH_3(m, __VA_ARGS__)
#define W32_EACH_5(m, p, ...) m p, W32_EACH_4(m, __VA_ARGS__)
#define W32_EACH_6(m, p, ...) m p, W32_EACH_5(m, __VA_ARGS__)
#define W32_EACH_7(m, p, ...) m p, W32_EACH_6(m, __VA_ARGS__)
#define W32_EACH_8(m, p, ...) m p, W32_EACH_7(m, __VA_ARGS__)
#define W32_EACH_9(m, p, ...) m p, W32_EACH_8(m, __VA_ARGS__)
#define W32_EACH_10(m, p, ...) m p, W32_EACH_9(m, __VA_ARGS__)
#define W32_EACH_11(m, p, ...) m p, W32_EACH_10(m, __VA_ARGS__)
#define W32_EACH_12(m, p, ...) m p, W32_EACH_11(m, __VA_ARGS__)

// A parameter as a declaration, and as an argument.
#define W32_PARAMETER(type, name, shown) type name
#define W32_ARGUMENT(type, name, shown) name

// A row as a plain declaration: F for calls with parameters, F0 without.
#define W32_DECLARE(result, shown, name, ...) result name(W32_EACH(W32_PARAMETER, __VA_ARGS__));
#define W32_DECLARE0(result, shown, name) result name();
// A row as a method of an interface.
#define W32_PURE_METHOD(result, shown, name, ...) virtual result name(W32_EACH(W32_PARAMETER, __VA_ARGS__)) = 0;
#define W32_PURE_METHOD0(result, shown, name) virtual result name() = 0;

// The layer's own sources (W32_LAYER) declare the calls they define. Every
// other source (the program, its tests, the tools) sees the same names at
// the layer's edge, where each call can be recorded on its way in.
#ifdef W32_LAYER
#define W32_API(table) table(W32_DECLARE, W32_DECLARE0)
#else
#define W32_API(table)                \
  namespace w32_edge {                \
  table(W32_DECLARE, W32_DECLARE0)    \
  }                                   \
  using namespace w32_edge;
#endif
