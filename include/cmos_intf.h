// SPDX-License-Identifier: MIT
// The one gate to "/dev/cmos".
#ifndef NVPARM_CMOS_INTF_H
#define NVPARM_CMOS_INTF_H

#include "types.h"

// Performs one operation (CMOS_READ, CMOS_WRITE, CMOS_RESET, CMOS_DUMP)
// with the device opened and closed inside the call. input holds the
// field's value bytes: read into for CMOS_READ, sent for CMOS_WRITE.
// Returns 0, or -1 with errno EINVAL (no such field), ENOENT (no device)
// or EIO (refused); a refused dump leaves the driver's errno.
int cmos_access_main(int oper, int field, uchar *input);

#endif
