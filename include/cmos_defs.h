// SPDX-License-Identifier: MIT
// The record exchanged with the CMOS driver, the operations, the keyword
// and form of each field and the driver's request codes. The fields'
// numbers, lengths and places are cmos_layout.h's.
#ifndef NVPARM_CMOS_DEFS_H
#define NVPARM_CMOS_DEFS_H

#include "cmos_layout.h"
#include "cmos_requests.h"
#include "types.h"

constexpr int CMOS_VAL_MAX = 128;
constexpr int CMOS_DUMP_SIZE = CMOS_SIZE;

// field travels in the host's byte order; val carries the field's value
// bytes first, zero after them.
typedef struct cmos_cmd__ {
	uint32 field;
	uchar val[CMOS_VAL_MAX];
} cmos_cmd_t;

static_assert(sizeof(cmos_cmd_t) == 132, "the driver copies exactly 132 bytes");

constexpr int CMOS_READ = 1;
constexpr int CMOS_WRITE = 2;
constexpr int CMOS_RESET = 3;
constexpr int CMOS_DUMP = 4;

// Field 228 is the raw offset 228, which no keyword names.
constexpr int CMOS_FIELD_228 = 228;

// How a field's value is written as text and printed.
enum cmos_form : uchar {
	FORM_IPV4,	// a.b.c.d, first octet first
	FORM_CONSOLE,	// first.second, one byte each; printed in hex
	FORM_MENU,	// a number, one byte; printed as the menu's partition
	FORM_IPV6,	// IPv6 text, 16 bytes in network order
	FORM_PREFIX,	// a number, 4 bytes most significant first; printed signed
	FORM_FLAG,	// a number, one byte; printed as two hex digits
};

// Kept in place, not pointed to, so that the table needs no relocation.
typedef struct cmos_field__ {
	char keyword[10];
	uchar field;
	cmos_form form;
} cmos_field_t;

// Every named field by its keyword, in the order --show prints them.
inline constexpr cmos_field_t cmos_fields[] = {
	{"ip",		CMOS_FIELD_IP,		FORM_IPV4},
	{"mask",	CMOS_FIELD_MASK,	FORM_IPV4},
	{"gw",		CMOS_FIELD_GW,		FORM_IPV4},
	{"server",	CMOS_FIELD_SERVER,	FORM_IPV4},
	{"console",	CMOS_FIELD_CONSOLE,	FORM_CONSOLE},
	{"last",	CMOS_FIELD_LAST,	FORM_IPV4},
	{"menu",	CMOS_FIELD_MENU,	FORM_MENU},
	{"ipv6",	CMOS_FIELD_IPV6,	FORM_IPV6},
	{"ipv6_mask",	CMOS_FIELD_IPV6_MASK,	FORM_PREFIX},
	{"zcfg",	CMOS_FIELD_ZCFG,	FORM_FLAG},
};

// The board's kernel numbers its requests the PowerPC way: three
// direction bits on top (write is 4), 13 size bits, type, number.
// The same numbers are sent from every host.
constexpr unsigned long ppc_iow(unsigned type, unsigned nr, unsigned size)
{
	return 4UL << 29 | (unsigned long)size << 16 | type << 8 | nr;
}

constexpr unsigned long CMOS_IOC_RESET = CMOS_IOC_RESET_NUMBER;
constexpr unsigned long CMOS_IOC_DUMP = CMOS_IOC_DUMP_NUMBER;

static_assert(CMOS_IOC_RESET == ppc_iow('c', 1, sizeof(cmos_cmd_t)), "reset request");
static_assert(CMOS_IOC_DUMP == ppc_iow('c', 2, 1), "dump request");

#endif
