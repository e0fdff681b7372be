/* SPDX-License-Identifier: MIT */
/*
 * Where the driver keeps each field in the 256 CMOS bytes, and what a
 * board holds when it leaves the factory. The simulated driver and the
 * reference kernel driver both use it, so a dump reads the same on the
 * desk and on the board. Plain C with no includes: the kernel takes it too.
 */
#ifndef CMOS_LAYOUT_H
#define CMOS_LAYOUT_H

#define CMOS_SIZE		256
#define CMOS_RAW_FIRST		120
#define CMOS_RAW_LAST		255

/* Named fields live below the raw range; offsets 120 to 255 are themselves. */
#define CMOS_AT_IP		16
#define CMOS_AT_MASK		20
#define CMOS_AT_GW		24
#define CMOS_AT_SERVER		28
#define CMOS_AT_CONSOLE		32
#define CMOS_AT_LAST		36
#define CMOS_AT_MENU		40
#define CMOS_AT_IPV6		48
#define CMOS_AT_IPV6_MASK	64
#define CMOS_AT_ZCFG		68

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
 * length, or sets *len to 0 when the number names no field.
 */
static inline unsigned int cmos_place(unsigned int field, unsigned int *len)
{
	*len = 4;
	switch (field) {
	case 1:
		return CMOS_AT_IP;
	case 2:
		return CMOS_AT_MASK;
	case 3:
		return CMOS_AT_GW;
	case 4:
		return CMOS_AT_SERVER;
	case 6:
		return CMOS_AT_LAST;
	case 9:
		return CMOS_AT_IPV6_MASK;
	case 5:
		*len = 2;
		return CMOS_AT_CONSOLE;
	case 8:
		*len = 16;
		return CMOS_AT_IPV6;
	case 7:
		*len = 1;
		return CMOS_AT_MENU;
	case 13:
		*len = 1;
		return CMOS_AT_ZCFG;
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
	unsigned int i;

	for (i = 0; i < CMOS_SIZE; i++)
		img[i] = 0;
	for (i = 0; i < sizeof(net); i++)
		img[CMOS_AT_IP + i] = net[i];
	img[CMOS_AT_MENU] = 1;
	img[CMOS_AT_IPV6_MASK + 3] = 64;
}

#endif
