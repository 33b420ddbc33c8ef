// Compiled into every module of the suite (tests included): keeps a heavy
// part of the static C++ runtime out of the binaries. The definition is
// inline and used: one per module, however many of its objects carry it,
// taking the place of the runtime's own, whose object is then never linked.
#include <stdlib.h>

// The runtime's default terminate handler prints the type of an uncaught
// exception, which links in the whole symbol demangler (about 45 KB per
// module). None of our programs has a console to print to: on a fault that
// ends the process it aborts at once, as that handler does after printing.
namespace __gnu_cxx {
[[gnu::used]] inline void __verbose_terminate_handler() { abort(); }
}
