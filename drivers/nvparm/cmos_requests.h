/* SPDX-License-Identifier: MIT */
/*
 * The request numbers nvparm sends the CMOS driver, from every host: the
 * board's PowerPC encodings of _IOW('c', 1, 132-byte record) and
 * _IOW('c', 2, one byte). Plain C, so that the kernel driver can hold them
 * against its own _IOW at build time.
 */
#ifndef CMOS_REQUESTS_H
#define CMOS_REQUESTS_H

#define CMOS_IOC_RESET_NUMBER	0x80846301UL
#define CMOS_IOC_DUMP_NUMBER	0x80016302UL

#endif
