// What the process keeps mapped in its page tables while it sleeps between
// ticks. On some virtual machines every wake-up costs in proportion to the
// process's resident pages, so a program that wakes ten times a second pays
// for each page it still has mapped, used or not.
#pragma once

#include <cstddef>

namespace w32 {

// Unmaps, from this process's page tables only, the pages of read-only file
// mappings (code, constant data, fonts, caches) that the process has not
// changed: what start-up ran once and will not run again. Each page comes
// back from the file, unchanged, the next time it is touched, so nothing is
// lost; a mapping with a page of its own (written once, such as relocated
// data, or a debugger's breakpoint) is left alone. Answers how many bytes
// were resident in what it unmapped; 0 where there is nothing to read.
size_t DropUntouchedFilePages();

}  // namespace w32
