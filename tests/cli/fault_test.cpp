// SPDX-License-Identifier: MIT
// Every operation against every fault the driver can raise: the output,
// the error line, the status, and a CMOS left as it was.
#include "table.h"

namespace {

enum Call { OPEN, READ, WRITE, IOCTL };

struct Operation {
	std::vector<std::string> args;
	Call exchange;		// the call that carries it out
	std::string out;	// when it works, from the factory CMOS
	const char *failure;	// the line it prints when it does not
};

const std::vector<Operation> operations = {
	{{"-r", "ip"}, READ, "192.168.1.2\n", "Read Error\n"},
	{{"-r", "mask"}, READ, "255.255.255.0\n", "Read Error\n"},
	{{"-r", "gw"}, READ, "192.168.1.1\n", "Read Error\n"},
	{{"-r", "server"}, READ, "192.168.1.1\n", "Read Error\n"},
	{{"-r", "console"}, READ, "0 0\n", "Read Error\n"},
	{{"-r", "menu"}, READ, "Menu.lst parition: hdc1\n", "Read Error\n"},
	{{"-r", "ipv6"}, READ, "::\n", "Read Error\n"},
	{{"-r", "ipv6_mask"}, READ, "64\n", "Read Error\n"},
	{{"-r", "zcfg"}, READ, "00\n", "Read Error\n"},
	{{"-o", "200"}, READ, "0\n", "Read Error\n"},
	{{"-w", "ip", "10.1.2.3"}, WRITE, "", "Write Error\n"},
	{{"-w", "mask", "255.0.0.0"}, WRITE, "", "Write Error\n"},
	{{"-w", "gw", "10.1.2.1"}, WRITE, "", "Write Error\n"},
	{{"-w", "server", "10.1.2.2"}, WRITE, "", "Write Error\n"},
	{{"-w", "last", "10.1.2.4"}, WRITE, "", "Write Error\n"},
	{{"-w", "console", "9.1"}, WRITE, "", "Write Error\n"},
	{{"-w", "menu", "2"}, WRITE, "", "Write Error\n"},
	{{"-w", "ipv6", "fe80::1"}, WRITE, "", "Write Error\n"},
	{{"-w", "ipv6_mask", "48"}, WRITE, "", "Write Error\n"},
	{{"-w", "zcfg", "1"}, WRITE, "", "Write Error\n"},
	{{"-O", "200", "7"}, WRITE, "", "Write Error\n"},
	{{"-R"}, IOCTL, "", "Reset Error\n"},
	{{"-d"}, IOCTL, "", "Dump Error\n"},
};

const struct {
	const char *fault;
	Call hits;
} faults[] = {
	{"open=ENOENT", OPEN},
	{"open=EACCES", OPEN},
	{"read", READ},
	{"write", WRITE},
	{"ioctl", IOCTL},
	{"close", OPEN},	// hits nothing: a failed close loses nothing
};

} // namespace

TEST(Faults, EveryOperationSurvivesEveryFault)
{
	SimCmos factory;
	const std::string dump = factory.nvparm({"-d"}).out;
	ASSERT_EQ(dump.substr(0, 17), "0 0 0 0 0 0 0 0 \n");

	int runs = 0;
	for (const auto &f : faults) {
		for (const auto &op : operations) {
			SimCmos cmos;
			cmos.seed(0, {});
			Bytes before = cmos.image();
			bool fails = f.hits == op.exchange || (f.hits == OPEN && std::string(f.fault) != "close");
			bool on_stdout = op.exchange == READ;
			SCOPED_TRACE(words(op.args) + " with " + f.fault + " failing");

			Outcome run = cmos.nvparm(op.args, f.fault);
			if (!fails) {
				EXPECT_EQ(run.out, op.args[0] == "-d" ? dump : op.out);
				EXPECT_EQ(run.err, "");
			} else {
				EXPECT_EQ(run.out, on_stdout ? op.failure : "");
				EXPECT_EQ(run.err, on_stdout ? "" : op.failure);
				EXPECT_EQ(cmos.image(), before);
			}
			EXPECT_EQ(run.status, 1);
			EXPECT_FALSE(fails && op.args[0] == "-R" && cmos.reset_pending());
			runs++;
		}
	}
	EXPECT_EQ(runs, 6 * 23);
}
