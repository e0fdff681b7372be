// SPDX-License-Identifier: MIT
// What nvparm says to the user besides the values it prints: its own
// messages on standard error, the cause of a device failure, and standard
// output flushed at the end.
#ifndef NVPARM_SAY_H
#define NVPARM_SAY_H

#include <cstdio>

// "nvparm: " and the message, a line on standard error. A byte that is
// not printable ASCII is shown as \xHH: what a file or an argument holds
// never reaches the terminal raw.
void say(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Why the device's last call failed: "/dev/cmos: read: Input/output error".
constexpr int CAUSE_MAX = 128;
const char *device_cause(char cause[CAUSE_MAX]);

// The device's last failure, said: "nvparm: /dev/cmos: ...".
void say_device_cause();

// A failed option: its text where boards have always looked for it
// ("Read Error\n" on standard output), then the cause.
void say_device_failure(const char *text, FILE *stream);

// Flushes standard output; says once why it could not be written.
bool stdout_flushed();

#endif
