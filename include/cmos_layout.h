/* SPDX-License-Identifier: MIT */
/* Kept beside the kernel driver, which stands alone in a kernel tree. */
#include "../drivers/nvparm/cmos_layout.h"
