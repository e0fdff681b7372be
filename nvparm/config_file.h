// SPDX-License-Identifier: MIT
// The whole configuration as a file of "key value" lines.
#ifndef NVPARM_CONFIG_FILE_H
#define NVPARM_CONFIG_FILE_H

// --show, and --save with the raw bytes after the fields: every value as a
// line "key value", in the form --load takes. Returns 0 when all of it
// was printed, 1 otherwise.
int show_cmos(bool with_raw);

// --load: every line of the file ("-": standard input) checked, then each
// value that differs from the CMOS written; nothing when a line is faulty.
// Returns 0 when all of it was done, 1 otherwise.
int load_cmos(const char *path);

// --diff: the file checked as --load checks it, nothing written; a line
// "key stored -> wanted" for each value that differs. Returns 0 when none
// differs, 1 when one does, 2 for a faulty file or a failure, as diff(1).
int diff_cmos(const char *path);

#endif
