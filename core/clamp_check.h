// Clamps that keep a table index or count in range although the program's own
// invariants already do: in an ordinary build the clamp alone acts; in the
// sanitizer and fuzz builds (CPTOC_CHECK_CLAMPS) reaching one is reported with
// its place and the program aborts, so that the fuzz harness finds the fault
// behind it. Clamps that the rules of the program require are not marked.
#pragma once

#ifdef CPTOC_CHECK_CLAMPS
#include <cstdio>
#include <cstdlib>
#define UNEXPECTED_CLAMP(what)                                                                   \
    do {                                                                                         \
        std::fprintf(stderr, "%s:%d: clamp reached that should not be: %s\n", __FILE__, __LINE__, \
                     what);                                                                      \
        std::abort();                                                                            \
    } while (0)
#else
#define UNEXPECTED_CLAMP(what) ((void)0)
#endif
