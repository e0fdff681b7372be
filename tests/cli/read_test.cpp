// SPDX-License-Identifier: MIT
// -r keyword: each field's printed form, and the boot server from the
// kernel command line.
#include "cmos_layout.h"
#include "table.h"

struct ReadRow {
	unsigned at;
	const char *stored;
	Row row;
};

static void expect_reads(const std::vector<ReadRow> &rows)
{
	for (const auto &r : rows) {
		SimCmos cmos;
		cmos.seed(r.at, hex(r.stored));
		expect_row(cmos, r.row);
	}
}

static std::string read_of(const char *field_count_bytes)
{
	return std::string("open; read ") + field_count_bytes + "; close";
}

TEST(Read, EachFieldInItsOwnForm)
{
	expect_reads({
		{CMOS_AT_IP, "c0a8010a", {{"-r", "ip"}, "192.168.1.10\n", "", 1, read_of("1 4 c0a8010a")}},
		{CMOS_AT_MASK, "ffff0000", {{"-r", "mask"}, "255.255.0.0\n", "", 1, read_of("2 4 ffff0000")}},
		{CMOS_AT_GW, "0a000001", {{"-r", "gw"}, "10.0.0.1\n", "", 1, read_of("3 4 0a000001")}},
		{CMOS_AT_SERVER, "0a000002", {{"-r", "server"}, "10.0.0.2\n", "", 1, read_of("4 4 0a000002")}},
		{CMOS_AT_CONSOLE, "0901", {{"-r", "console"}, "9 1\n", "", 1, read_of("5 2 0901")}},
		{CMOS_AT_CONSOLE, "1aff", {{"-r", "console"}, "1a ff\n", "", 1, read_of("5 2 1aff")}},
		{CMOS_AT_MENU, "03", {{"-r", "menu"}, "Menu.lst parition: hdc3\n", "", 1, read_of("7 1 03")}},
		{CMOS_AT_IPV6, "20010db8000000000000000000000001",
		 {{"-r", "ipv6"}, "2001:db8::1\n", "", 1, read_of("8 16 20010db8000000000000000000000001")}},
		{CMOS_AT_IPV6, "00000000000000000000000000000000",
		 {{"-r", "ipv6"}, "::\n", "", 1, read_of("8 16 00000000000000000000000000000000")}},
		{CMOS_AT_IPV6_MASK, "00000040", {{"-r", "ipv6_mask"}, "64\n", "", 1, read_of("9 4 00000040")}},
		{CMOS_AT_IPV6_MASK, "80000000", {{"-r", "ipv6_mask"}, "-2147483648\n", "", 1, read_of("9 4 80000000")}},
		{CMOS_AT_ZCFG, "01", {{"-r", "zcfg"}, "01\n", "", 1, read_of("13 1 01")}},
		{CMOS_AT_ZCFG, "00", {{"-r", "zcfg"}, "00\n", "", 1, read_of("13 1 00")}},
	});
}

TEST(Read, KeywordsAreWholeAndCaseSensitive)
{
	expect_rows({
		{{"-r", "IP"}, "", "IP is not a valid option\n", 1, ""},
		{{"-r", "ip x"}, "", "ip x is not a valid option\n", 1, ""},
		{{"-r", "offset"}, "", "offset is not a valid option\n", 1, ""},
		{{"-r", ""}, "", " is not a valid option\n", 1, ""},
	});
}

TEST(Read, BootServerFromTheKernelCommandLine)
{
	const struct {
		std::string cmdline;
		const char *out;
	} cases[] = {
		{"root=/dev/ram bootdev=eobc0 server_ip=10.0.0.1 quiet\n", "10.0.0.1\n"},
		{"server_ip=10.0.0.1 console=ttyS0 bootdev=eobc0\n", "10.0.0.1\n"},
		{"bootdev=eobc0 server_ip=10.0.0.1\n", "10.0.0.1\n"},
		{"bootdev=eobc0 server_ip=10.0.0.1", "10.0.0.1\n"},
		{"bootdev=eth0 server_ip=10.0.0.1\n", "0.0.0.0\n"},
		{"", "0.0.0.0\n"},
		{"bootdev=eobc0\n", "Read Error\n"},
		{"bootdev=eobc0 server_ip=10.0.0.300 quiet\n", "Read Error\n"},
		{"bootdev=eobc0 server_ip= quiet\n", "Read Error\n"},
		{"bootdev=eobc0 server_ip=10.0.0.1.2 quiet\n", "Read Error\n"},
		{std::string(5000, 'p') + " bootdev=eobc0 server_ip=10.0.0.7 q\n", "10.0.0.7\n"},
		{"bootdev=eobc0 server_ip=10.0.0.1\nbootdev=eobc0\n", "Read Error\n"},
		{std::string("bootdev=eobc0\0 server_ip=10.0.0.1\n", 34), "Read Error\n"},
	};
	// "last" is the boot server, never the CMOS field of that name.
	for (const auto &c : cases) {
		SimCmos cmos;
		cmos.seed(CMOS_AT_LAST, hex("0a000005"));
		cmos.cmdline(c.cmdline);
		expect_row(cmos, {{"-r", "last"}, c.out, "", 1, ""});
	}
	SimCmos unreadable;
	expect_row(unreadable, {{"-r", "last"}, "Read Error\n", "", 1, ""});
}
