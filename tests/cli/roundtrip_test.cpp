// SPDX-License-Identifier: MIT
// What is written reads back the same, in a later run.
#include <sstream>

#include "table.h"

TEST(RoundTrip, EveryFieldAndRawOffsets)
{
	const struct {
		std::vector<std::string> write, read;
		const char *printed;
	} cases[] = {
		{{"-w", "ip", "10.1.2.3"}, {"-r", "ip"}, "10.1.2.3\n"},
		{{"-w", "mask", "255.255.254.0"}, {"-r", "mask"}, "255.255.254.0\n"},
		{{"-w", "gw", "10.1.2.1"}, {"-r", "gw"}, "10.1.2.1\n"},
		{{"-w", "server", "10.1.2.9"}, {"-r", "server"}, "10.1.2.9\n"},
		{{"-w", "console", "26.255"}, {"-r", "console"}, "1a ff\n"},
		{{"-w", "menu", "4"}, {"-r", "menu"}, "Menu.lst parition: hdc4\n"},
		{{"-w", "ipv6", "fe80::1:2"}, {"-r", "ipv6"}, "fe80::1:2\n"},
		{{"-w", "ipv6_mask", "48"}, {"-r", "ipv6_mask"}, "48\n"},
		{{"-w", "zcfg", "1"}, {"-r", "zcfg"}, "01\n"},
		{{"-O", "120", "1"}, {"-o", "120"}, "1\n"},
		{{"-O", "228", "228"}, {"-o", "228"}, "228\n"},
		{{"-O", "255", "254"}, {"-o", "255"}, "254\n"},
	};
	for (const auto &c : cases) {
		SimCmos cmos;
		SCOPED_TRACE(words(c.write));
		Outcome w = cmos.nvparm(c.write);
		EXPECT_EQ(w.out + w.err, "");
		EXPECT_EQ(cmos.nvparm(c.read).out, c.printed);
	}
}

// "last" is written to its field, where only a dump shows it.
TEST(RoundTrip, LastShowsInTheDump)
{
	SimCmos cmos;
	cmos.nvparm({"-w", "last", "10.0.0.5"});
	std::istringstream dump(cmos.nvparm({"-d"}).out);
	std::string line;
	for (int i = 0; i <= 4; i++)	// the fifth line holds bytes 32 to 39
		std::getline(dump, line);
	EXPECT_EQ(line, "0 0 0 0 a 0 0 5 ");
}
