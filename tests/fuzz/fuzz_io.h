// SPDX-License-Identifier: MIT
// What the fuzz targets share: a scratch simulated CMOS, the tool's output
// caught in memory, and the simulator's calls seen as they happen.
#ifndef NVPARM_FUZZ_IO_H
#define NVPARM_FUZZ_IO_H

#include <cstddef>

// Points the simulator at a scratch image and kernel command line, once.
void fuzz_setup();
// Path of the file served as "/proc/cmdline".
const char *fuzz_cmdline_path();

// Standard output and error go to memory between these two.
void capture_begin();
void capture_end();
extern char captured_out[1 << 16], captured_err[1 << 16];

// Writes to the device since capture_begin(); a refused exchange aborts.
extern int device_writes;

#endif
