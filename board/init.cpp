// SPDX-License-Identifier: MIT
// The emulated board's init. Finds the CMOS driver's store, the EEPROM at
// I2C address 0x50, and by the phase it keeps in the store's last byte:
//   0  a fresh store: the factory defaults; the case table; the driver under
//      stress; a reset requested, then a real reboot
//   1  after the reboot: the factory defaults again; values written; power off
//   2  the next power-on: the values are still there; power off
// Each boot ends with "N passed, N failed", the console drained first.
#include <cstdio>
#include <fcntl.h>
#include <glob.h>
#include <string>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "cmos_layout.h"

static std::string store;
static int passed, failed;

static void report(const char *name, bool ok)
{
	(ok ? passed : failed)++;
	printf("%s - %s\n", ok ? "ok" : "FAIL", name);
	fflush(stdout);
}

// The program and its arguments: 0 when it exits with 0.
static int run(std::vector<const char *> argv)
{
	int status = -1;
	argv.push_back(nullptr);
	if (fork() == 0)
		_exit(execv(argv[0], const_cast<char *const *>(argv.data())));
	return wait(&status), status;
}

static bool store_io(bool write, off_t at, void *bytes, size_t len)
{
	int fd = open(store.c_str(), write ? O_WRONLY : O_RDONLY);
	bool ok = (write ? pwrite(fd, bytes, len, at) : pread(fd, bytes, len, at)) == (ssize_t)len;
	close(fd);
	return ok;
}

// The store holds these bytes at at.
static bool holds(off_t at, const std::vector<unsigned char> &bytes)
{
	std::vector<unsigned char> got(bytes.size());
	return store_io(false, at, got.data(), got.size()) && got == bytes;
}

static bool factory_defaults()
{
	std::vector<unsigned char> cmos(CMOS_SIZE);
	cmos_factory_defaults(cmos.data());
	return holds(0, cmos) && holds(CMOS_STORE_MARK, {'c', 'm', 'o', 's', 0});
}

int main()
{
	mount("proc", "/proc", "proc", 0, nullptr);
	mount("sysfs", "/sys", "sysfs", 0, nullptr);
	mount("devtmpfs", "/dev", "devtmpfs", 0, nullptr);
	for (int i = 0; i < 50 && access("/dev/cmos", F_OK); i++)
		usleep(100000);
	glob_t nvmem, files;
	if (!glob("/sys/bus/i2c/devices/0-0050/*/nvmem", 0, nullptr, &nvmem))
		store = nvmem.gl_pathv[0];
	unsigned char phase = 0xff, next, none = 0;
	report("the driver's device and store", !access("/dev/cmos", F_OK) && store_io(false, 4095, &phase, 1));
	// The next boot's phase first: a boot that dies is not run again.
	store_io(true, 4095, &(next = phase + 1), 1);

	if (phase == 0) {
		report("an empty store starts with the factory defaults", factory_defaults());
		std::vector<const char *> cases = {"/runner", "--board", store.c_str()};
		if (!glob("/cases/*.cases", 0, nullptr, &files))
			cases.insert(cases.end(), files.gl_pathv, files.gl_pathv + files.gl_pathc);
		cases.insert(cases.end(), {"--", "/nvparm"});
		report("the case table", run(cases) == 0);
		report("the driver under stress and random calls", run({"/stress", store.c_str()}) == 0);
		store_io(true, CMOS_STORE_RESET, &none, 1);
		run({"/nvparm", "-w", "ip", "10.1.2.3"});
		run({"/nvparm", "-R"});
		report("a reset waits for the reboot", holds(16, {10, 1, 2, 3}) && holds(CMOS_STORE_RESET, {1}));
	} else if (phase == 1) {
		report("the reboot restored the factory defaults", factory_defaults());
		run({"/nvparm", "-w", "ip", "10.20.30.40"});
		run({"/nvparm", "-O", "200", "77"});
		report("values written before power-off", holds(16, {10, 20, 30, 40}) && holds(200, {77}));
	} else {
		report("the values survived the power-off", phase == 2 && holds(16, {10, 20, 30, 40}) && holds(200, {77}));
	}
	printf("%d passed, %d failed\n", passed, failed);
	fflush(stdout);
	tcdrain(1);
	sync();
	reboot(phase == 0 ? RB_AUTOBOOT : RB_POWER_OFF);
}
