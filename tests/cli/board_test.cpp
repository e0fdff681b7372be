// SPDX-License-Identifier: MIT
// The tool on a board whose driver is not loaded. The static board build,
// which no simulator can be preloaded into, is tested with these alone.
#include "table.h"

TEST(NoDevice, BannerHelpAndReadError)
{
	SimCmos cmos;
	cmos.remove_device();
	Outcome banner = cmos.nvparm({"-v"});
	EXPECT_EQ(banner.out, "nvparm: v. 1.0\n");
	EXPECT_EQ(banner.status, 0);

	Outcome help = cmos.nvparm({"--help"});
	EXPECT_EQ(help.out.substr(0, 21), "nvparm [-v] [-h] [-w ");
	const std::string last_line = "\t-d, dump the content of CMOS\n";
	ASSERT_GT(help.out.size(), last_line.size());
	EXPECT_EQ(help.out.substr(help.out.size() - last_line.size()), last_line);
	EXPECT_EQ(help.status, 0);

	Outcome reads = cmos.nvparm({"-r", "ip", "-r", "mask", "-r", "gw", "-r", "server", "-r", "console",
				     "-r", "menu", "-r", "ipv6", "-r", "ipv6_mask", "-r", "zcfg", "-o", "150"});
	std::string errors;
	for (int i = 0; i < 10; i++)
		errors += "Read Error\n";
	EXPECT_EQ(reads.out, errors);
	EXPECT_EQ(reads.status, 1);

	Outcome writes = cmos.nvparm({"-w", "ip", "10.1.2.3", "-O", "150", "1", "-R", "-d"});
	EXPECT_EQ(writes.out, "");
	EXPECT_EQ(writes.err, "Write Error\nWrite Error\nReset Error\nDump Error\n");
}
