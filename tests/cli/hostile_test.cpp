// SPDX-License-Identifier: MIT
// Command lines nobody means to write: each ends with its documented message.
#include "table.h"

TEST(Hostile, LongWordsAndOddBytes)
{
	const std::string huge(30000, '9');	// four of them still fit one argument
	const std::string long_keyword(120000, 'k');
	expect_rows({
		{{"-w", "ip", huge}, "", "Error: invalid ip value: " + huge + "\n", 1, ""},
		{{"-w", "ip", huge + "." + huge + "." + huge + "." + huge}, "", "Error: invalid ip value: " + huge + "." + huge + "." + huge + "." + huge + "\n", 1, ""},
		{{"-w", long_keyword, "1"}, "", long_keyword + " is not a valid option\n", 1, ""},
		{{"-r", long_keyword}, "", long_keyword + " is not a valid option\n", 1, ""},
		{{"-w", "menu", huge}, "", "", 1, "open; write 7 1 ff; close"},
		{{"-o", huge}, "Error: Read offset 2147483647 out of range\n", "", 1, ""},
		{{"-w", "ip\t", "1.2.3.4"}, "", "ip\t is not a valid option\n", 1, ""},
		{{"-w", " ip", "1.2.3.4"}, "", " is not a valid option\n", 1, ""},
		{{"-r", "ip "}, "", "ip  is not a valid option\n", 1, ""},
		{{"-w", "ip", "\xff\xfe.\x80.1.1"}, "", "", 1, "open; write 1 4 00000101; close"},
		{{"-w", "ipv6", "\xff::1"}, "", "Error: invalid ipv6 value: \xff::1\n", 1, ""},
		{{"-r", "\xc3\x28"}, "", "\xc3\x28 is not a valid option\n", 1, ""},
		{{"", "", ""}, "", "", 1, ""},
		{{"-w", "", ""}, "", " is not a valid option\n", 1, ""},
		{{"-O", "", ""}, "", "", 1, ""},
		{{"-o", ""}, "", "", 1, ""},
		{{"--"}, "", "", 1, ""},
		{{"--", "-r", "ip"}, "", "", 1, ""},
		{{"-"}, "", "", 1, ""},
	});
}

TEST(Hostile, ThousandsOfOptionsInOneRun)
{
	std::vector<std::string> args;
	std::string out, exchange;
	for (int i = 0; i < 2000; i++) {
		args.insert(args.end(), {"-r", "zcfg"});
		out += "00\n";
		exchange += std::string(i ? "; " : "") + "open; read 13 1 00; close";
	}
	expect_rows({{args, out, "", 1, exchange}});

	std::vector<std::string> refused(6000, "-x");
	refused[0] = "-o";
	refused[1] = "119";
	expect_rows({{refused, "Error: Read offset 119 out of range\n",
		      "nvparm: invalid option -- 'x'\n-x: invalid argument. Use 'nvparm --help' for help.\n", 1, ""}});
}
