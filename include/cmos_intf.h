// SPDX-License-Identifier: MIT
// The one gate to "/dev/cmos".
#ifndef NVPARM_CMOS_INTF_H
#define NVPARM_CMOS_INTF_H

#include "types.h"

// Performs one operation (CMOS_READ, CMOS_WRITE, CMOS_RESET, CMOS_DUMP)
// with the device opened and closed inside the call. input holds the
// field's value bytes: read into for CMOS_READ, sent for CMOS_WRITE.
// Returns 0, or -1 with errno EINVAL when the number names no field, and
// otherwise the cause the failing call gave, that call named in
// cmos_failed_call.
int cmos_access_main(int oper, int field, uchar *input);

// Holds every other whole-configuration load or save off while one runs:
// an flock on the device, exclusive to write it, shared to read it; none
// on a kernel without file locking.
// Returns the descriptor that cmos_access_unlock releases, or -1 as above.
int cmos_access_lock(bool exclusive);
void cmos_access_unlock(int lock);

// "open", "read", "write", "ioctl" or "flock": the call that failed last.
extern const char *cmos_failed_call;

#endif
