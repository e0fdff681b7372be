// SPDX-License-Identifier: GPL-2.0
/*
 * Built into the kernel, so that the CMOS driver can be unloaded and loaded
 * again as the board reboots while its bytes stay.
 */
#include <linux/export.h>

#include "cmos_chip.h"

struct cmos_chip cmos_chip;
EXPORT_SYMBOL_GPL(cmos_chip);
