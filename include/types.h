// SPDX-License-Identifier: MIT
// The small integer types of the CMOS interface.
#ifndef NVPARM_TYPES_H
#define NVPARM_TYPES_H

#include <stdint.h>

typedef uint32_t uint32;
typedef int32_t int32;
typedef uint8_t uchar;

#endif
