/* SPDX-License-Identifier: GPL-2.0 */
#ifndef NVPARM_CMOS_CHIP_H
#define NVPARM_CMOS_CHIP_H

#include <linux/types.h>

#include "cmos_layout.h"

/*
 * The battery-backed CMOS: it keeps its bytes while the driver is unloaded,
 * as the chip keeps them across a reboot of the board.
 */
struct cmos_chip {
	u8 bytes[CMOS_SIZE];
	bool powered;		/* has held a configuration since the factory */
	bool reset_pending;	/* factory defaults at the next boot */
};

extern struct cmos_chip cmos_chip;

#endif
