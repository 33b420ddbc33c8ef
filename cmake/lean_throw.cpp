// Compiled into the product's modules only (TalLib and each program, see
// talvex_program()): they use no stream, locale or other part of the C++
// runtime that needs the runtime's own throw helpers, which the tests'
// GoogleTest does. Inline and used, as in lean_runtime.cpp.
#include <new>

// The helpers the standard containers call to throw. The runtime's own
// build every standard exception with a message string, which links in a
// second, reference-counted string implementation and the exception
// classes (about 80 KB per 32-bit module). Our code catches no standard
// exception by type: a failed allocation is std::bad_alloc as before, and
// the errors that only a program's own fault can cause (a length past
// max_size, an index out of range) end in the same exception, which the
// exports turn into their failure result like any other.
namespace std {
[[gnu::used, noreturn]] inline void __throw_bad_alloc() { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_bad_array_new_length() { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_length_error(const char *) { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_logic_error(const char *) { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_out_of_range(const char *) { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_out_of_range_fmt(const char *, ...) { throw bad_alloc(); }
[[gnu::used, noreturn]] inline void __throw_invalid_argument(const char *) { throw bad_alloc(); }
} // namespace std
