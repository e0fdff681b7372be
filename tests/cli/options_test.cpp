// SPDX-License-Identifier: MIT
// The option loop: order, long forms, banner, help, and invalid options.
#include "table.h"

static const char help[] =
	"nvparm [-v] [-h] [-w <ip | mask | gw | server | last> <ip addr> |ipv6 <ipv6_addr> | ipv6_mask <prefix_len> | zcfg <0|1>] \n"
	"       [-r <ip | mask | gw | server | ipv6 | ipv6_mask | last | offset <offset> | zcfg>] [-R] [-d] \n"
	"\tCMOS access tools to access various fields in CMOS\n"
	"\tOptions:\n"
	"\t-v, --version: print version information and exit\n"
	"\t-h, --help: this help screen.\n"
	"\t-w, takes either ip, mask, gw, or server ip address as input\n"
	"\t\tand writes to CMOS\n"
	"\t-r, takes either the keyword <ip> <mask> <gw> or <server> as input\n"
	"\t\tand prints out the corresponding value in CMOS\n"
	"\t-R, resets the CMOS to factory default on next reboot\n"
	"\t-d, dump the content of CMOS\n";

static const char factory_dump[] =
	"0 0 0 0 0 0 0 0 \n"
	"0 0 0 0 0 0 0 0 \n"
	"c0 a8 1 2 ff ff ff 0 \n"
	"c0 a8 1 1 c0 a8 1 1 \n"
	"0 0 0 0 0 0 0 0 \n"
	"1 0 0 0 0 0 0 0 \n"
	"0 0 0 0 0 0 0 0 \n"
	"0 0 0 0 0 0 0 0 \n"
	"0 0 0 40 0 0 0 0 \n";

static std::string dump_of_factory()
{
	std::string dump = factory_dump;
	for (int line = 9; line < 32; line++)
		dump += "0 0 0 0 0 0 0 0 \n";
	return dump + "\n";
}

static const char bad_x[] = "nvparm: invalid option -- 'x'\n";
static const char see_help[] = ": invalid argument. Use 'nvparm --help' for help.\n";
static const char ip_read[] = "open; read 1 4 c0a80102; close";

TEST(Options, RunLeftToRightAndEndAsDocumented)
{
	const std::string dump = dump_of_factory();
	expect_rows({
		{{}, "", "", 1, ""},
		{{"-v"}, "nvparm: v. 1.0\n", "", 0, ""},
		{{"--version"}, "nvparm: v. 1.0\n", "", 0, ""},
		{{"-h"}, help, "", 0, ""},
		{{"--he"}, help, "", 0, ""},
		{{"-d"}, dump, "", 1, "open; ioctl dump; close"},
		{{"--dump"}, dump, "", 1, "open; ioctl dump; close"},
		{{"-d", "-v"}, dump + "nvparm: v. 1.0\n", "", 0, "open; ioctl dump; close"},
		{{"-v", "-d"}, "nvparm: v. 1.0\n", "", 0, ""},
		{{"-r", "ip", "-h", "-r", "ip"}, "192.168.1.2\n" + std::string(help), "", 0, ip_read},
		{{"-r", "ip", "-r", "mask"}, "192.168.1.2\n255.255.255.0\n", "", 1,
		 "open; read 1 4 c0a80102; close; open; read 2 4 ffffff00; close"},
		{{"--read=ip"}, "192.168.1.2\n", "", 1, ip_read},
		{{"--read", "ip"}, "192.168.1.2\n", "", 1, ip_read},
		{{"stray", "-r", "ip", "words"}, "192.168.1.2\n", "", 1, ip_read},
		{{"-R"}, "", "", 1, "open; ioctl reset; close"},
		{{"--reset"}, "", "", 1, "open; ioctl reset; close"},
	});
}

TEST(Options, InvalidOptionStopsTheRun)
{
	expect_rows({
		{{"-x", "foo"}, "", std::string(bad_x) + "foo" + see_help, 1, ""},
		{{"-x"}, "", std::string(bad_x) + "-x" + see_help, 1, ""},
		{{"-w"}, "", "nvparm: option requires an argument -- 'w'\n-w" + std::string(see_help), 1, ""},
		{{"--read"}, "", "nvparm: option '--read' requires an argument\n--read" + std::string(see_help), 1, ""},
		{{"--rea=ip"}, "",
		 "nvparm: option '--rea=ip' is ambiguous; possibilities: '--read' '--read-offset'\n--rea=ip" +
		 std::string(see_help), 1, ""},
		{{"-r", "ip", "-x", "-r", "mask"}, "192.168.1.2\n", std::string(bad_x) + "-r" + see_help, 1, ip_read},
	});
}

// A reset takes effect at the next reboot, not before.
TEST(Options, ResetWaitsForTheReboot)
{
	SimCmos cmos;
	expect_row(cmos, {{"-w", "ip", "10.1.2.3", "-R"}, "", "", 1,
			  "open; write 1 4 0a010203; close; open; ioctl reset; close"});
	EXPECT_TRUE(cmos.reset_pending());
	expect_row(cmos, {{"-r", "ip"}, "10.1.2.3\n", "", 1, "open; read 1 4 0a010203; close"});

	ASSERT_TRUE(cmos.reboot());
	EXPECT_FALSE(cmos.reset_pending());
	expect_row(cmos, {{"-r", "ip"}, "192.168.1.2\n", "", 1, "open; read 1 4 c0a80102; close"});

	// A reboot without a reset keeps what was written.
	cmos.nvparm({"-w", "ip", "10.1.2.3"});
	ASSERT_TRUE(cmos.reboot());
	expect_row(cmos, {{"-r", "ip"}, "10.1.2.3\n", "", 1, "open; write 1 4 0a010203; close; open; read 1 4 0a010203; close"});
}
