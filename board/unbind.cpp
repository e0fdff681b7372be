// SPDX-License-Identifier: MIT
// The CMOS driver while its world changes, with /dev/cmos held open: the
// driver unbound and bound again; the EEPROM's driver unbound, which must
// end the CMOS driver's binding first, and bound again, which must bring
// it back, also 50 times in a row with the driver's probe following; the
// board's other cmos nodes, each failed with its message; and, with the
// driver unbound, two of them bound alone. Each step has the result it
// must get, 0 or an errno; one that reaches freed memory also shows on the
// KASAN board's console.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/klog.h>
#include <unistd.h>

#include "cmos_requests.h"

// A call: 0, or the errno of its failure.
#define CALL(call) [] { return (call) < 0 ? errno : 0; }

static unsigned rec[1 + 64] = {1};	// field 1, the IP address; then room for a dump
static int fd = -1;

// Writes a device's name to its driver's bind or unbind file. Once bound
// again after the EEPROM's driver, the CMOS driver comes from a work queue:
// a bind waits for it, unless told not to.
static int sysfs(const char *file, const char *name, bool wait = true)
{
	int f = open(file, O_WRONLY);
	int got = write(f, name, strlen(name)) < 0 ? errno : 0;
	close(f);
	for (int i = 0; i < 50 && wait && strstr(file, "/bind") && access("/dev/cmos", F_OK); i++)
		usleep(100000);
	return got;
}

// The EEPROM's driver unbound and bound 50 times, never waiting for the
// CMOS driver's probe that each binding starts, but after the last; then a
// read on a new descriptor.
static int rebind_50()
{
	int got = 0;
	for (int i = 0; i < 50 && !got; i++)
		got = sysfs("/sys/bus/i2c/drivers/at24/unbind", "0-0050") ?:
		      sysfs("/sys/bus/i2c/drivers/at24/bind", "0-0050", i == 49);
	close(fd);
	fd = open("/dev/cmos", O_RDWR);
	return got ?: CALL(read(fd, rec, 4))();
}

// The kernel's log holds text. Read whole, it only grows: zeros follow it.
static int logged(const char *text)
{
	static char log[1 << 17];	// the kernel's CONFIG_LOG_BUF_SHIFT=17
	return klogctl(3, log, sizeof(log) - 1) > 0 && strstr(log, text) ? 0 : ENOENT;
}

static const struct { const char *what; int result; int (*step)(); } steps[] = {
	{"open /dev/cmos", 0, CALL(fd = open("/dev/cmos", O_RDWR))},
	{"unbind the driver", 0, [] { return sysfs("/sys/bus/platform/drivers/cmos/unbind", "soc@fe0000000:cmos"); }},
	{"read on the open descriptor", ENODEV, CALL(read(fd, rec, 4))},
	{"write on it", ENODEV, CALL(write(fd, rec, 4))},
	{"dump on it", ENODEV, CALL(ioctl(fd, CMOS_IOC_DUMP_NUMBER, rec + 1))},
	{"bind the driver again", 0, [] { return sysfs("/sys/bus/platform/drivers/cmos/bind", "soc@fe0000000:cmos"); }},
	{"read on the descriptor from before", ENODEV, CALL(read(fd, rec, 4))},
	{"close it; open /dev/cmos", 0, [] { close(fd); return (fd = open("/dev/cmos", O_RDWR)) < 0 ? errno : 0; }},
	{"unbind the EEPROM's driver", 0, [] { return sysfs("/sys/bus/i2c/drivers/at24/unbind", "0-0050"); }},
	{"read on the open descriptor", ENODEV, CALL(read(fd, rec, 4))},
	{"bind the EEPROM's driver again", 0, [] { return sysfs("/sys/bus/i2c/drivers/at24/bind", "0-0050"); }},
	{"the EEPROM's driver unbound and bound 50 times more; a read", 0, rebind_50},
	{"a node without nvmem-names", 0, [] { return logged("cmos-unnamed: error -ENOENT: no store:"); }},
	{"a node whose store is a cmos node", 0, [] { return logged("cmos-on-cmos: error -EINVAL: the store is the cmos"); }},
	{"a region too small", 0, [] { return logged("cmos-small: error -EINVAL: region of 260 bytes at 768: 261 needed"); }},
	{"a node without nvparm,region", 0, [] { return logged("cmos-unplaced: error -EINVAL: no region:"); }},
	{"a second node", 0, [] { return logged("cmos-second: error -EBUSY: another cmos node has /dev/cmos"); }},
	{"a disabled store", 0, [] { return logged("cmos-store-off: error -ENODEV: store /soc@fe0000000/i2c@3000/eeprom@52 is disabled"); }},
	{"a store with no NVMEM", 0, [] { return logged("cmos-store-no-nvmem: error -ENODEV: store /soc@fe0000000/i2c@3000 offers no NVMEM"); }},
	{"unbind the driver", 0, [] { return sysfs("/sys/bus/platform/drivers/cmos/unbind", "soc@fe0000000:cmos"); }},
	{"bind alone the second node, over the board's data", EINVAL, [] { return sysfs("/sys/bus/platform/drivers/cmos/bind", "soc@fe0000000:cmos-second", false); }},
	{"its message; nothing written", 0, [] { return logged("cmos-second: error -EINVAL: region at 128 holds other data"); }},
	{"bind alone the node whose region ends past the store's", EINVAL, [] { return sysfs("/sys/bus/platform/drivers/cmos/bind", "soc@fe0000000:cmos-outside", false); }},
	{"its message", 0, [] { return logged("cmos-outside: error -EINVAL: region end at 4097 past"); }},
	{"bind the driver again", 0, [] { return sysfs("/sys/bus/platform/drivers/cmos/bind", "soc@fe0000000:cmos"); }},
};

int main()
{
	int wrong = 0;
	for (const auto &s : steps) {
		int got = s.step();
		if (got == s.result)
			continue;
		printf("unbind: %s: expected %s, got %s\n", s.what, strerror(s.result), strerror(got));
		wrong++;
	}
	return wrong != 0;
}
