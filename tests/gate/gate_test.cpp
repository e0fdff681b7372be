// SPDX-License-Identifier: MIT
// What the cases cannot see: the raw record the gate hands the driver, the
// bytes it stores into, and its result and errno for each failure.
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "cmos_defs.h"
#include "cmos_intf.h"

// Sanitized, this test has the simulator preloaded ahead of ASan's runtime.
extern "C" const char *__asan_default_options()
{
	return "verify_asan_link_order=0";
}

class Gate : public ::testing::Test {
protected:
	void SetUp() override
	{
		char tmpl[] = "/tmp/nvparm-gate.XXXXXX";
		ASSERT_TRUE(mkdtemp(tmpl));
		dir = tmpl;
		setenv("NVPARM_SIM_IMAGE", (dir + "/cmos.img").c_str(), 1);
		setenv("NVPARM_SIM_TRACE", (dir + "/trace").c_str(), 1);
		setenv("NVPARM_SIM_RECORDS", (dir + "/records").c_str(), 1);
		unsetenv("NVPARM_SIM_FAIL");
	}
	void TearDown() override
	{
		for (const char *name : {"/cmos.img", "/trace", "/records"})
			unlink((dir + name).c_str());
		rmdir(dir.c_str());
	}
	std::string slurp(const char *name)
	{
		std::ifstream in(dir + name, std::ios::binary);
		std::stringstream s;
		s << in.rdbuf();
		unlink((dir + name).c_str());
		return s.str();
	}
	std::string dir;
};

static std::string record(uint32 field, const char *value, size_t len)
{
	std::string rec(sizeof(cmos_cmd_t), '\0');
	memcpy(&rec[0], &field, sizeof(field));
	memcpy(&rec[4], value, len);
	return rec;
}

// The field number in the host's order, the value, zeros: 132 bytes, of
// which the gate sends only the field's length.
TEST_F(Gate, RecordIsFieldInHostOrderThenValue)
{
	uchar input[CMOS_VAL_MAX];
	memset(input, 0x5a, sizeof(input));
	memcpy(input, "\x0a\x01\x02\x03", 4);
	ASSERT_EQ(cmos_access_main(CMOS_WRITE, CMOS_FIELD_IP, input), 0);
	EXPECT_EQ(slurp("/records"), record(CMOS_FIELD_IP, "\x0a\x01\x02\x03", 4));
}

TEST_F(Gate, ReadStoresOnlyTheFieldsLength)
{
	uchar input[CMOS_VAL_MAX];
	memset(input, 0x5a, sizeof(input));
	ASSERT_EQ(cmos_access_main(CMOS_READ, CMOS_FIELD_MENU, input), 0);
	EXPECT_EQ(slurp("/records"), record(CMOS_FIELD_MENU, "", 0));
	EXPECT_EQ(input[0], 1);
	EXPECT_EQ(input[1], 0x5a) << "stored past the field";
}

TEST_F(Gate, FailuresReportResultAndErrno)
{
	const struct {
		const char *fault;
		int oper, field, result, err;
		const char *trace;
	} cases[] = {
		{"", CMOS_READ, 119, -1, EINVAL, ""},
		{"", CMOS_WRITE, 256, -1, EINVAL, ""},
		{"", CMOS_READ, 14, -1, EINVAL, ""},
		{"", CMOS_RESET, -1, 0, 0, "open\nioctl reset\nclose\n"},
		{"", 5, 1, 0, 0, "open\nclose\n"},
		{"open=EACCES", CMOS_DUMP, 0, -1, ENOENT, "open !EACCES\n"},
		{"read", CMOS_READ, 1, -1, EIO, "open\nread 1 4 !EIO\nclose\n"},
		{"write", CMOS_WRITE, 1, -1, EIO, "open\nwrite 1 4 00000000 !EIO\nclose\n"},
		{"ioctl", CMOS_RESET, 0, -1, EIO, "open\nioctl reset !EIO\nclose\n"},
		{"ioctl", CMOS_DUMP, 0, -1, EIO, "open\nioctl dump !EIO\nclose\n"},
		{"close", CMOS_WRITE, 1, 0, EIO, "open\nwrite 1 4 00000000\nclose !EIO\n"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.fault) + " oper " + std::to_string(c.oper));
		setenv("NVPARM_SIM_FAIL", c.fault, 1);
		uchar input[CMOS_VAL_MAX] = {};
		errno = 0;
		EXPECT_EQ(cmos_access_main(c.oper, c.field, input), c.result);
		EXPECT_EQ(errno, c.err);
		EXPECT_EQ(slurp("/trace"), c.trace);
	}
}
