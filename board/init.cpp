// SPDX-License-Identifier: MIT
// The emulated board's init. Finds the board's EEPROM (I2C address 0x50),
// the CMOS driver's region of it (the driver's NVMEM device, by its parent)
// and where the device tree puts that region, and by the phase it keeps in
// a second EEPROM (0x51), which the driver does not know:
//   FRESH_STORE  the factory defaults in the blank region; the case
//                table; the driver under stress; the driver and the
//                EEPROM's driver unbound and bound again; each state a
//                power cut leaves in a first initialisation, finished; a
//                reset requested, then a real reboot
//   REBOOTED     the factory defaults again; values written; power off
//   POWERED_ON   the next power-on: the values are still there; power off
// Each boot ends with every byte of the board's EEPROM outside the region
// held against /eeprom.known, what the board test put there, then with
// "N passed, N failed", the console drained first.
#include <cstdio>
#include <cstring>
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

enum Phase : unsigned char { FRESH_STORE, REBOOTED, POWERED_ON };

static std::string store, eeprom, phases;
static unsigned region_at, region_size;
static int passed, failed;

static void report(const char *name, bool ok)
{
	if (ok)
		passed++;
	else
		failed++;
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
	wait(&status);
	return status;
}

static bool file_io(const std::string &file, bool write, off_t at, void *bytes, size_t len)
{
	int fd = open(file.c_str(), write ? O_WRONLY : O_RDONLY);
	ssize_t done = write ? pwrite(fd, bytes, len, at) : pread(fd, bytes, len, at);
	close(fd);
	return done == (ssize_t)len;
}

// The region holds these bytes at at: read in the EEPROM, not through the driver.
static bool holds(off_t at, const std::vector<unsigned char> &bytes)
{
	std::vector<unsigned char> got(bytes.size());
	return file_io(eeprom, false, region_at + at, got.data(), got.size()) && got == bytes;
}

static std::string first(const char *pattern)
{
	glob_t found;
	std::string path;
	if (!glob(pattern, 0, nullptr, &found))
		path = found.gl_pathv[0];
	globfree(&found);
	return path;
}

// The region the device tree gives the driver, two big-endian numbers,
// inside the EEPROM.
static bool region()
{
	unsigned char cells[8];
	if (!file_io(first("/sys/bus/platform/drivers/cmos/*/of_node/nvparm,region"), false, 0, cells, 8))
		return false;
	region_at = cells[0] << 24 | cells[1] << 16 | cells[2] << 8 | cells[3];
	region_size = cells[4] << 24 | cells[5] << 16 | cells[6] << 8 | cells[7];
	return region_size >= CMOS_STORE_SIZE && region_at + region_size <= 4096;
}

// Every byte of the board's EEPROM outside the driver's region is as the
// board test wrote it.
static bool board_data_kept()
{
	std::vector<unsigned char> known(4096), got(4096);
	if (!file_io("/eeprom.known", false, 0, known.data(), known.size()) ||
	    !file_io(eeprom, false, 0, got.data(), got.size()))
		return false;
	for (size_t i = 0; i < known.size(); i++)
		if ((i < region_at || i >= region_at + region_size) && got[i] != known[i]) {
			printf("board: the EEPROM's byte %zu changed\n", i);
			return false;
		}
	return true;
}

static bool factory_defaults()
{
	std::vector<unsigned char> cmos(CMOS_SIZE);
	cmos_factory_defaults(cmos.data());
	return holds(0, cmos) && holds(CMOS_STORE_MARK, {'c', 'm', 'o', 's', 0});
}

// Each state a power cut can leave in the first initialisation of a blank
// region, the driver's writes up to the cut (the reset byte, the mark, the
// factory defaults, the reset cleared), put in the region; bound again,
// the driver finishes it.
static bool power_cuts_finished()
{
	static char name[] = "soc@fe0000000:cmos";
	std::vector<std::pair<unsigned, unsigned char>> writes = {{CMOS_STORE_RESET, 1}};
	unsigned char cmos[CMOS_SIZE];
	cmos_factory_defaults(cmos);
	for (unsigned i = 0; i < CMOS_STORE_RESET - CMOS_STORE_MARK; i++)
		writes.push_back({CMOS_STORE_MARK + i, "cmos"[i]});
	for (unsigned i = 0; i < CMOS_SIZE; i++)
		writes.push_back({i, cmos[i]});
	writes.push_back({CMOS_STORE_RESET, 0});
	bool finished = true;
	for (size_t cut : {1, 3, 5, 133, 261, 262}) {
		std::vector<unsigned char> region(CMOS_STORE_SIZE, 0xff);
		for (size_t i = 0; i < cut; i++)
			region[writes[i].first] = writes[i].second;
		file_io("/sys/bus/platform/drivers/cmos/unbind", true, 0, name, strlen(name));
		bool ok = file_io(eeprom, true, region_at, region.data(), region.size()) &&
			  file_io("/sys/bus/platform/drivers/cmos/bind", true, 0, name, strlen(name)) && factory_defaults();
		if (!ok)
			printf("board: the power cut after %zu bytes was not finished\n", cut);
		finished = finished && ok;
	}
	return finished;
}

// A fresh store: the factory defaults, the case table, the driver under
// stress and through unbinds, the power cuts, then a reset asked for.
static void fresh_store()
{
	unsigned char none = 0;
	glob_t files;
	report("a blank region starts with the factory defaults", factory_defaults());
	std::vector<const char *> cases = {"/runner", "--board", store.c_str()};
	if (!glob("/cases/*.cases", 0, nullptr, &files))
		cases.insert(cases.end(), files.gl_pathv, files.gl_pathv + files.gl_pathc);
	cases.insert(cases.end(), {"--", "/nvparm"});
	report("the case table", run(cases) == 0);
	report("the driver under stress and hostile calls", run({"/stress", store.c_str()}) == 0);
	report("the driver unbound and bound again, its malformed nodes", run({"/unbind"}) == 0);
	eeprom = first("/sys/bus/i2c/devices/0-0050/*/nvmem");	// bound again, maybe renamed
	report("each power cut in a first initialisation finished", power_cuts_finished());
	file_io(eeprom, true, region_at + CMOS_STORE_RESET, &none, 1);
	run({"/nvparm", "-w", "ip", "10.1.2.3"});
	run({"/nvparm", "-R"});
	report("a reset waits for the reboot", holds(16, {10, 1, 2, 3}) && holds(CMOS_STORE_RESET, {1}));
}

int main()
{
	mount("proc", "/proc", "proc", 0, nullptr);
	mount("sysfs", "/sys", "sysfs", 0, nullptr);
	mount("devtmpfs", "/dev", "devtmpfs", 0, nullptr);
	for (int i = 0; i < 50 && access("/dev/cmos", F_OK); i++)
		usleep(100000);
	eeprom = first("/sys/bus/i2c/devices/0-0050/*/nvmem");
	phases = first("/sys/bus/i2c/devices/0-0051/*/nvmem");
	store = first("/sys/bus/platform/drivers/cmos/*/cmos-region*/nvmem");
	unsigned char phase = 0xff;
	bool found = !access("/dev/cmos", F_OK) && !access(store.c_str(), F_OK) && region();
	report("the driver's device and region", found && file_io(phases, false, 0, &phase, 1));
	// The next boot's phase first: a boot that dies is not run again.
	unsigned char next = phase + 1;
	file_io(phases, true, 0, &next, 1);

	if (phase == FRESH_STORE) {
		fresh_store();
	} else if (phase == REBOOTED) {
		report("the reboot restored the factory defaults", factory_defaults());
		run({"/nvparm", "-w", "ip", "10.20.30.40"});
		run({"/nvparm", "-O", "200", "77"});
	} else {
		report("the values survived the power-off", phase == POWERED_ON && holds(16, {10, 20, 30, 40}) &&
		       holds(200, {77}));
	}
	report("the board's data outside the region unchanged", board_data_kept());
	printf("%d passed, %d failed\n", passed, failed);
	fflush(stdout);
	tcdrain(1);
	sync();
	// The fresh store's boot ends in a real reboot; the others power off.
	if (phase == FRESH_STORE)
		reboot(RB_AUTOBOOT);
	reboot(RB_POWER_OFF);
}
