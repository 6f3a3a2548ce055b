// tarvelmin-bench --soak N: the whole program for N ticks on the virtual clock.
#pragma once

// argv: tarvelmin-bench --soak N. Returns the process's exit code: 0 when
// every check held, 1 when one failed, 2 for a bad N.
int RunSoak(int argc, char** argv);
