// SPDX-License-Identifier: MIT
// -w keyword value: the bytes each value text becomes, and what is refused.
#include "table.h"

static std::string wrote(const char *field_count_bytes)
{
	return std::string("open; write ") + field_count_bytes + "; close";
}

TEST(Write, EachKeywordSendsItsFieldsBytes)
{
	expect_rows({
		{{"-w", "ip", "10.1.2.3"}, "", "", 1, wrote("1 4 0a010203")},
		{{"--write", "ip", "192.168.1.10"}, "", "", 1, wrote("1 4 c0a8010a")},
		{{"-w", "mask", "255.255.255.0"}, "", "", 1, wrote("2 4 ffffff00")},
		{{"-w", "gw", "10.0.0.1"}, "", "", 1, wrote("3 4 0a000001")},
		{{"-w", "server", "10.0.0.2"}, "", "", 1, wrote("4 4 0a000002")},
		{{"-w", "last", "10.0.0.5"}, "", "", 1, wrote("6 4 0a000005")},
		{{"-w", "console", "9.1"}, "", "", 1, wrote("5 2 0901")},
		{{"-w", "menu", "3"}, "", "", 1, wrote("7 1 03")},
		{{"-w", "ipv6", "2001:db8::1"}, "", "", 1, wrote("8 16 20010db8000000000000000000000001")},
		{{"-w", "ipv6_mask", "64"}, "", "", 1, wrote("9 4 00000040")},
		{{"-w", "zcfg", "1"}, "", "", 1, wrote("13 1 01")},
	});
}

// The lenient conversions boot scripts have always had.
TEST(Write, LenientConversionsAreKept)
{
	expect_rows({
		{{"-w", "ip", "10.1.2.3.4"}, "", "", 1, wrote("1 4 0a010203")},
		{{"-w", "ip", "10x.1.1.1"}, "", "", 1, wrote("1 4 0a010101")},
		{{"-w", "ip", "2.256.0.0"}, "", "", 1, wrote("1 4 03000000")},
		{{"-w", "ip", "10.1.2."}, "", "", 1, wrote("1 4 0a010200")},
		{{"-w", "ip", "..."}, "", "", 1, wrote("1 4 00000000")},
		{{"-w", "ip", " 10.+1.2.3\nignored"}, "", "", 1, wrote("1 4 0a010203")},
		{{"-w", "console", "300.2"}, "", "", 1, wrote("5 2 2c02")},
		{{"-w", "console", "1a.ff"}, "", "", 1, wrote("5 2 0100")},
		{{"-w", "menu", "300"}, "", "", 1, wrote("7 1 2c")},
		{{"-w", "menu", "x"}, "", "", 1, wrote("7 1 00")},
		{{"-w", "zcfg", "2"}, "", "", 1, wrote("13 1 02")},
		{{"-w", "ipv6_mask", "200"}, "", "", 1, wrote("9 4 000000c8")},
		{{"-w", "ipv6_mask", " -1"}, "", "", 1, wrote("9 4 ffffffff")},
		// A value word that starts with '-' is also read as an option.
		{{"-w", "ipv6_mask", "-1"}, "", "nvparm: invalid option -- '1'\n-1: invalid argument. Use 'nvparm --help' for help.\n",
		 1, wrote("9 4 ffffffff")},
		// The board's strtol saturates; so does every host.
		{{"-w", "ipv6_mask", "99999999999"}, "", "", 1, wrote("9 4 7fffffff")},
		{{"-w", "ip extra", "1.2.3.4"}, "", "", 1, wrote("1 4 01020304")},
		// The value is the third word, wherever -w stands.
		{{"-w", "ip", "1.2.3.4", "-w", "mask", "255.0.0.0"}, "", "", 1,
		 wrote("1 4 01020304") + "; " + wrote("2 4 01020304")},
	});
}

TEST(Write, BadInputWritesNothing)
{
	expect_rows({
		{{"-w", "IP", "1.2.3.4"}, "", "IP is not a valid option\n", 1, ""},
		{{"-w", "ipv6_masks", "1"}, "", "ipv6_masks is not a valid option\n", 1, ""},
		{{"-w", std::string(5000, 'k') + " x", "1"}, "", std::string(5000, 'k') + " is not a valid option\n", 1, ""},
		{{"-w", "", "1"}, "", " is not a valid option\n", 1, ""},
		{{"-w", "ip", "10.1.2"}, "", "Error: invalid ip value: 10.1.2\n", 1, ""},
		{{"-w", "gw", ""}, "", "Error: invalid gw value: \n", 1, ""},
		{{"-w", "ip", "10.1\n.2.3"}, "", "Error: invalid ip value: 10.1\n.2.3\n", 1, ""},
		{{"-w", "mask", "1000.0.0.0"}, "", "Error: invalid mask value: 1000.0.0.0\n", 1, ""},
		{{"-w", "last", "1.2.3.0004"}, "", "Error: invalid last value: 1.2.3.0004\n", 1, ""},
		{{"-w", "console", "91"}, "", "Error: invalid console value: 91\n", 1, ""},
		{{"-w", "console", "1.1234"}, "", "Error: invalid console value: 1.1234\n", 1, ""},
		{{"-w", "ipv6", "2001:db8::g"}, "", "Error: invalid ipv6 value: 2001:db8::g\n", 1, ""},
		{{"-w", "ipv6", "10.1.2.3"}, "", "Error: invalid ipv6 value: 10.1.2.3\n", 1, ""},
		// No third word: nothing to write, and the next option still runs.
		{{"-w", "ip"}, "Error: empty argument\n", "", 1, ""},
		{{"--write=ip", "1.2.3.4"}, "Error: empty argument\n", "", 1, ""},
		{{"-w", "ip", "-r", "mask"}, "255.255.255.0\n", "Error: invalid ip value: -r\n", 1,
		 "open; read 2 4 ffffff00; close"},
	});
}
