/* SPDX-License-Identifier: MIT */
/*
 * The CMOS's 256 bytes: each named field's number, length and place, the
 * raw offsets, and what a board holds when it leaves the factory. The
 * tool, the simulated driver and the reference kernel driver all take them
 * from here, so a dump reads the same on the desk and on the board. Plain
 * C with no includes: the kernel takes it too.
 */
#ifndef CMOS_LAYOUT_H
#define CMOS_LAYOUT_H

#define CMOS_SIZE		256

/* Single bytes reachable by their offset; the named fields lie below them. */
#define CMOS_RAW_FIRST		120
#define CMOS_RAW_LAST		255

/* The longest value of a field, ipv6's. */
#define CMOS_FIELD_MAX		16

enum {
	CMOS_FIELD_IP		= 1,
	CMOS_FIELD_MASK		= 2,
	CMOS_FIELD_GW		= 3,
	CMOS_FIELD_SERVER	= 4,
	CMOS_FIELD_CONSOLE	= 5,
	CMOS_FIELD_LAST		= 6,
	CMOS_FIELD_MENU		= 7,
	CMOS_FIELD_IPV6		= 8,
	CMOS_FIELD_IPV6_MASK	= 9,
	CMOS_FIELD_ZCFG		= 13,
};

/*
 * Every named field: its number, its length in bytes, and where it sits;
 * field 0, which names nothing, ends the table.
 */
struct cmos_place {
	unsigned char field;
	unsigned char len;
	unsigned char at;
};

static const struct cmos_place cmos_places[] = {
	{ CMOS_FIELD_IP,		4,	16 },
	{ CMOS_FIELD_MASK,		4,	20 },
	{ CMOS_FIELD_GW,		4,	24 },
	{ CMOS_FIELD_SERVER,		4,	28 },
	{ CMOS_FIELD_CONSOLE,		2,	32 },
	{ CMOS_FIELD_LAST,		4,	36 },
	{ CMOS_FIELD_MENU,		1,	40 },
	{ CMOS_FIELD_IPV6,		CMOS_FIELD_MAX,	48 },
	{ CMOS_FIELD_IPV6_MASK,		4,	64 },
	{ CMOS_FIELD_ZCFG,		1,	68 },
	{ 0, 0, 0 }
};

/*
 * A persistent store (the kernel driver's region of an NVMEM device, the
 * simulator's image file) holds the 256 bytes at its start and, just past
 * them, a mark that it holds a configuration and a reset waiting for the
 * next boot: CMOS_STORE_SIZE bytes in all.
 */
#define CMOS_STORE_MARK		256	/* the four bytes "cmos" */
#define CMOS_STORE_RESET	260	/* 1 while a reset waits */
#define CMOS_STORE_SIZE		261

/*
 * The place of a field number: returns its offset and sets *len to its
 * length, or sets *len to 0 when the number names no field. An offset
 * from CMOS_RAW_FIRST to CMOS_RAW_LAST is its own place, one byte long.
 */
static inline unsigned int cmos_place(unsigned int field, unsigned int *len)
{
	unsigned int i;

	for (i = 0; cmos_places[i].field; i++) {
		if (cmos_places[i].field == field) {
			*len = cmos_places[i].len;
			return cmos_places[i].at;
		}
	}
	*len = field >= CMOS_RAW_FIRST && field <= CMOS_RAW_LAST;
	return *len ? field : 0;
}

/* 192.168.1.2/24 via 192.168.1.1, boot menu on hdc1, IPv6 prefix 64. */
static inline void cmos_factory_defaults(unsigned char *img)
{
	static const unsigned char net[16] = {
		192, 168, 1, 2,  255, 255, 255, 0,
		192, 168, 1, 1,  192, 168, 1, 1,
	};
	unsigned int i, len;

	for (i = 0; i < CMOS_SIZE; i++)
		img[i] = 0;
	/* ip, mask, gw and server lie one after another. */
	for (i = 0; i < sizeof(net); i++)
		img[cmos_place(CMOS_FIELD_IP, &len) + i] = net[i];
	img[cmos_place(CMOS_FIELD_MENU, &len)] = 1;
	img[cmos_place(CMOS_FIELD_IPV6_MASK, &len) + 3] = 64;
}

#endif
