// SPDX-License-Identifier: MIT
// The command, callable in process (main.cpp and the fuzz target do).
#ifndef NVPARM_NVPARM_H
#define NVPARM_NVPARM_H

#include "types.h"

// Carries out every option of the command line, left to right, and returns
// the exit status: 0 after -v or -h, 1 otherwise; after --show, --save,
// --load or --diff, theirs.
int configure(int argc, char **argv);

// The boot server named by "/proc/cmdline" after a boot from eobc0, as four
// bytes first octet first. Returns 0 (ipaddr untouched when the command
// line names no boot from eobc0) or 1 when no address can be had.
int get_last_ip_from_cmdline(uint32 *ipaddr);

#endif
