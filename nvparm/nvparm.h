// SPDX-License-Identifier: MIT
// The command, callable in process (main.cpp and the fuzz target do).
#ifndef NVPARM_NVPARM_H
#define NVPARM_NVPARM_H

#include "types.h"

// Carries out every option of the command line, left to right, and returns
// the exit status: 0 after -v or -h, 1 otherwise; after --show, --save or
// --load, 0 when all of it was done.
int configure(int argc, char **argv);

// The boot server named by "/proc/cmdline" after a boot from eobc0, as four
// bytes first octet first. Returns 0 (ipaddr untouched when the command
// line names no boot from eobc0) or 1 when no address can be had.
int get_last_ip_from_cmdline(uint32 *ipaddr);

// --show, and --save with the raw bytes after the fields: every value as a
// line "key value", in the form --load takes.
int show_cmos(bool with_raw);

// --load: every line of the file ("-": standard input) checked, then each
// value that differs from the CMOS written; nothing when a line is faulty.
int load_cmos(const char *path);

// Why the device's last call failed: "/dev/cmos: read: Input/output error".
constexpr int CAUSE_MAX = 128;
const char *device_cause(char cause[CAUSE_MAX]);

// Flushes standard output; says once, on standard error, why it could not
// be written.
bool stdout_flushed();

#endif
