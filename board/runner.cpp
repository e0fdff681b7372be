// SPDX-License-Identifier: MIT
// The emulated board's init. Mounts /proc and /dev, loads the CMOS driver,
// runs /nvparm as a user would (fork, exec, output and status caught) through
// every option and keyword, reboots the board by reloading the driver,
// prints one line per case and a closing count, and powers the board off.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static int passed, failed;

static std::string slurp(const char *path)
{
	std::string text;
	char buf[4096];
	int fd = open(path, O_RDONLY);
	for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof(buf))) > 0;)
		text.append(buf, n);
	if (fd >= 0)
		close(fd);
	return text;
}

static void report(const std::string &name, bool ok, const std::string &why = "")
{
	(ok ? passed : failed)++;
	printf("%s - %s%s\n", ok ? "ok" : "FAIL", name.c_str(), ok ? "" : why.c_str());
	fflush(stdout);
}

// nvparm ARGS must print OUT and ERR and exit with STATUS.
static void expect(std::vector<const char *> args, const std::string &out,
		   const std::string &err = "", int status = 1)
{
	std::string name = "nvparm";
	for (const char *a : args)
		name += std::string(" ") + a;
	args.insert(args.begin(), "nvparm");
	args.push_back(nullptr);

	pid_t pid = fork();
	if (pid == 0) {
		int o = open("/tmp.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
		int e = open("/tmp.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
		dup2(o, 1);
		dup2(e, 2);
		execv("/nvparm", const_cast<char **>(args.data()));
		_exit(127);
	}
	int wstatus = 0;
	waitpid(pid, &wstatus, 0);
	int got_status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
	std::string got_out = slurp("/tmp.out"), got_err = slurp("/tmp.err");
	std::string why;
	if (got_out != out)
		why += " | stdout: '" + got_out + "', expected '" + out + "'";
	if (got_err != err)
		why += " | stderr: '" + got_err + "', expected '" + err + "'";
	if (got_status != status)
		why += " | status " + std::to_string(got_status);
	report(name, why.empty(), why);
}

// The driver itself, called directly: what the tool never sends is refused.
static void expect_refused(const char *name, int expected_errno, bool is_write,
			   unsigned field, size_t count, unsigned long request = 0)
{
	unsigned char record[132] = {};
	memcpy(record, &field, sizeof(field));
	int fd = open("/dev/cmos", O_RDWR);
	long r = request ? ioctl(fd, request, record) :
		 is_write ? write(fd, record, count) : read(fd, record, count);
	int e = errno;
	close(fd);
	report(name, fd >= 0 && r == -1 && e == expected_errno,
	       " | result " + std::to_string(r) + ", " + strerror(e));
}

static bool load_driver()
{
	int fd = open("/cmos.ko", O_RDONLY);
	bool ok = fd >= 0 && syscall(SYS_finit_module, fd, "", 0) == 0;
	if (fd >= 0)
		close(fd);
	return ok;
}

static bool unload_driver()
{
	return syscall(SYS_delete_module, "cmos", O_NONBLOCK) == 0;
}

// The board reboots: the driver goes and comes back; the chip keeps its bytes.
static void reboot_board()
{
	report("reboot: driver unloaded and loaded again", unload_driver() && load_driver());
}

static std::string dump_lines(const char *first_lines, int zero_lines_after)
{
	std::string dump = first_lines;
	for (int i = 0; i < zero_lines_after; i++)
		dump += "0 0 0 0 0 0 0 0 \n";
	return dump;
}

int main()
{
	mount("proc", "/proc", "proc", 0, nullptr);
	mount("devtmpfs", "/dev", "devtmpfs", 0, nullptr);
	printf("board: kernel command line: %s", slurp("/proc/cmdline").c_str());
	report("driver loaded", load_driver() && access("/dev/cmos", F_OK) == 0);

	const std::string factory = dump_lines(
		"0 0 0 0 0 0 0 0 \n0 0 0 0 0 0 0 0 \nc0 a8 1 2 ff ff ff 0 \nc0 a8 1 1 c0 a8 1 1 \n"
		"0 0 0 0 0 0 0 0 \n1 0 0 0 0 0 0 0 \n0 0 0 0 0 0 0 0 \n0 0 0 0 0 0 0 0 \n"
		"0 0 0 40 0 0 0 0 \n", 23) + "\n";

	expect({"-v"}, "nvparm: v. 1.0\n", "", 0);
	expect({"-d"}, factory);
	expect({"-r", "ip", "-r", "mask", "-r", "gw", "-r", "server"},
	       "192.168.1.2\n255.255.255.0\n192.168.1.1\n192.168.1.1\n");

	// Every field written, then read back in a later run.
	expect({"-w", "ip", "10.1.2.3"}, "");
	expect({"-w", "mask", "255.255.254.0"}, "");
	expect({"-w", "gw", "10.1.2.1"}, "");
	expect({"-w", "server", "10.1.2.9"}, "");
	expect({"-w", "last", "10.0.0.5"}, "");
	expect({"-w", "console", "26.255"}, "");
	expect({"-w", "menu", "4"}, "");
	expect({"--write", "ipv6", "fe80::1:2"}, "");
	expect({"-w", "ipv6_mask", "48"}, "");
	expect({"-w", "zcfg", "1"}, "");
	expect({"-r", "ip", "-r", "mask", "-r", "gw", "-r", "server"},
	       "10.1.2.3\n255.255.254.0\n10.1.2.1\n10.1.2.9\n");
	expect({"-r", "console", "-r", "menu", "--read=ipv6", "-r", "ipv6_mask", "-r", "zcfg"},
	       "1a ff\nMenu.lst parition: hdc4\nfe80::1:2\n48\n01\n");
	expect({"-O", "120", "171"}, "");
	expect({"-O", "228", "300"}, "");
	expect({"--write-offset", "255", "7"}, "");
	expect({"-o", "120", "-o", "228", "--read-offset", "255"}, "171\n44\n7\n");

	// The dump shows every write where the layout puts it.
	expect({"-d"}, dump_lines(
		"0 0 0 0 0 0 0 0 \n0 0 0 0 0 0 0 0 \na 1 2 3 ff ff fe 0 \na 1 2 1 a 1 2 9 \n"
		"1a ff 0 0 a 0 0 5 \n4 0 0 0 0 0 0 0 \nfe 80 0 0 0 0 0 0 \n0 0 0 0 0 1 0 2 \n"
		"0 0 0 30 1 0 0 0 \n", 6) +
		"ab 0 0 0 0 0 0 0 \n" + dump_lines("", 12) + "0 0 0 0 2c 0 0 0 \n" +
		dump_lines("", 2) + "0 0 0 0 0 0 0 7 \n\n");

	// The boot server, from the real kernel command line.
	expect({"-r", "last"}, "10.9.8.7\n");

	// Bad input: a clear message, nothing written.
	expect({"-o", "119", "-O", "256", "1"}, "Error: Read offset 119 out of range\nError: offset 256 out of range\n");
	expect({"-w", "ip", "10.1.2"}, "", "Error: invalid ip value: 10.1.2\n");
	expect({"-w", "IP", "1.2.3.4"}, "", "IP is not a valid option\n");
	expect({"-x", "foo"}, "", "nvparm: invalid option -- 'x'\nfoo: invalid argument. Use 'nvparm --help' for help.\n");
	expect({"-r", "ip"}, "10.1.2.3\n");

	// The driver refuses what the tool must never send.
	expect_refused("driver: a count that is not the field's length", EINVAL, false, 1, 5);
	expect_refused("driver: a number that names no field", EINVAL, true, 10, 1);
	expect_refused("driver: an unknown request", ENOTTY, false, 0, 0, 0x80046303UL);

	// A reset waits for the next boot, then restores the factory defaults.
	expect({"-R"}, "");
	expect({"-r", "ip"}, "10.1.2.3\n");
	reboot_board();
	expect({"-d"}, factory);
	expect({"-w", "ip", "10.1.2.3"}, "");
	reboot_board();
	expect({"-r", "ip"}, "10.1.2.3\n");

	// No driver: every read says so, every write, reset and dump too.
	report("driver unloaded", unload_driver() && access("/dev/cmos", F_OK) != 0);
	expect({"-r", "ip", "-r", "ipv6", "-r", "ipv6_mask", "-r", "zcfg", "-o", "150"},
	       "Read Error\nRead Error\nRead Error\nRead Error\nRead Error\n");
	expect({"-w", "ip", "1.2.3.4", "-R", "-d"}, "", "Write Error\nReset Error\nDump Error\n");

	printf("%d passed, %d failed\n", passed, failed);
	fflush(stdout);
	sync();
	reboot(RB_POWER_OFF);
	return 0;
}
