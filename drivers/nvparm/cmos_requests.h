/* SPDX-License-Identifier: MIT */
/*
 * The request numbers nvparm sends the CMOS driver, from every host: the
 * board's PowerPC encodings of _IOW('c', 1, 132-byte record) and
 * _IOW('c', 2, one byte). Neither describes its request, so the kernel
 * driver matches them as numbers, from this plain C header.
 */
#ifndef CMOS_REQUESTS_H
#define CMOS_REQUESTS_H

#define CMOS_IOC_RESET_NUMBER	0x80846301UL
#define CMOS_IOC_DUMP_NUMBER	0x80016302UL

#endif
