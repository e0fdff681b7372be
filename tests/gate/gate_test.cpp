// SPDX-License-Identifier: MIT
// What no case can see: the raw record the gate hands the driver, the bytes
// it stores into, and its result and errno for each failure.
#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "cmos_defs.h"
#include "cmos_intf.h"

// Sanitized, this test has the simulator preloaded ahead of ASan's runtime.
extern "C" const char *__asan_default_options()
{
	return "verify_asan_link_order=0";
}

static const int image = setenv("NVPARM_SIM_IMAGE", "gate.img", 1);

// What the simulator wrote to a file, which is then gone.
static std::string taken(const char *name)
{
	std::stringstream s;
	s << std::ifstream(name, std::ios::binary).rdbuf();
	return std::remove(name), s.str();
}

// The field number in the host's order, the value's bytes and zeros; of
// the 132, the gate sends the field's length and stores no more.
TEST(Gate, RecordsCarryTheFieldInHostOrder)
{
	uchar input[CMOS_VAL_MAX] = {0x0a, 0x01, 0x02, 0x03, 0x5a};
	std::string rec(2 * sizeof(cmos_cmd_t), '\0');
	uint32 fields[] = {CMOS_FIELD_IP, CMOS_FIELD_MENU};
	memcpy(&rec[0], &fields[0], 4);
	memcpy(&rec[4], input, 4);
	memcpy(&rec[132], &fields[1], 4);
	setenv("NVPARM_SIM_RECORDS", "gate.records", 1);
	std::remove("gate.records");
	ASSERT_EQ(cmos_access_main(CMOS_WRITE, CMOS_FIELD_IP, input), 0);
	ASSERT_EQ(cmos_access_main(CMOS_READ, CMOS_FIELD_MENU, input + 3), 0);
	EXPECT_EQ(taken("gate.records"), rec);
	EXPECT_EQ(input[3], 1);
	EXPECT_EQ(input[4], 0x5a) << "stored past the field";
}

TEST(Gate, FailuresReportResultAndErrno)
{
	const struct {
		const char *fault;
		int oper, field, result, err;
		const char *trace;
	} cases[] = {
		{"", CMOS_WRITE, 119, -1, EINVAL, ""},
		{"", 5, 14, 0, 0, "open\nclose\n"},
		{"open=EACCES", CMOS_DUMP, 0, -1, ENOENT, "open !EACCES\n"},
		{"write", CMOS_WRITE, 255, -1, EIO, "open\nwrite 255 1 00 !EIO\nclose\n"},
		{"ioctl", CMOS_RESET, 0, -1, EIO, "open\nioctl reset !EIO\nclose\n"},
		{"ioctl", CMOS_DUMP, 0, -1, EIO, "open\nioctl dump !EIO\nclose\n"},
		{"read,close", CMOS_READ, 13, -1, EIO, "open\nread 13 1 !EIO\nclose !EIO\n"},
		{"close", CMOS_READ, 13, 0, EIO, "open\nread 13 1 00\nclose !EIO\n"},
	};
	setenv("NVPARM_SIM_TRACE", "gate.trace", 1);
	std::remove("gate.trace");
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.fault) + " oper " + std::to_string(c.oper));
		setenv("NVPARM_SIM_FAIL", c.fault, 1);
		uchar input[CMOS_VAL_MAX] = {};
		errno = 0;
		EXPECT_EQ(cmos_access_main(c.oper, c.field, input), c.result);
		EXPECT_EQ(errno, c.err);
		EXPECT_EQ(taken("gate.trace"), c.trace);
	}
}
