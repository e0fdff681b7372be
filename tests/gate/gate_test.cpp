// SPDX-License-Identifier: MIT
// The exchange with the driver, byte by byte, as the simulator sees it.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

#include "cmos_defs.h"
#include "cmos_intf.h"
#include "cmos_layout.h"
#include "sim_cmos.h"

class Gate : public ::testing::Test {
protected:
	void SetUp() override { cmos.use_in_process(); }
	void TearDown() override { unsetenv("NVPARM_SIM_IMAGE"); }

	SimCmos cmos;
};

// Every field and a few raw offsets: the count is the field's length,
// the record carries the field number in host order and zeros after the value.
TEST_F(Gate, WriteSendsTheFieldsLengthAndZeroFill)
{
	const struct {
		int field;
		const char *bytes;
		unsigned at;
	} fields[] = {
		{CMOS_FIELD_IP, "0a010203", CMOS_AT_IP},
		{CMOS_FIELD_MASK, "ffffff00", CMOS_AT_MASK},
		{CMOS_FIELD_GW, "0a000001", CMOS_AT_GW},
		{CMOS_FIELD_SERVER, "0a000002", CMOS_AT_SERVER},
		{CMOS_FIELD_CONSOLE, "0901", CMOS_AT_CONSOLE},
		{CMOS_FIELD_LAST, "0a000005", CMOS_AT_LAST},
		{CMOS_FIELD_MENU, "03", CMOS_AT_MENU},
		{CMOS_FIELD_IPV6, "20010db8000000000000000000000001", CMOS_AT_IPV6},
		{CMOS_FIELD_IPV6_MASK, "00000040", CMOS_AT_IPV6_MASK},
		{CMOS_FIELD_ZCFG, "01", CMOS_AT_ZCFG},
		{120, "ab", 120},
		{CMOS_FIELD_228, "cd", 228},
		{255, "ef", 255},
	};
	for (const auto &f : fields) {
		SCOPED_TRACE(f.field);
		Bytes value = hex(f.bytes);
		Bytes input = value;
		input.resize(CMOS_VAL_MAX, 0x5a);	// the gate must send only the field's length
		ASSERT_EQ(cmos_access_main(CMOS_WRITE, f.field, input.data()), 0);
		EXPECT_EQ(cmos.exchange(), "open; write " + std::to_string(f.field) + " " +
			  std::to_string(value.size()) + " " + f.bytes + "; close");
		Bytes image = cmos.image();
		EXPECT_EQ(Bytes(image.begin() + f.at, image.begin() + f.at + value.size()), value);
	}
}

TEST_F(Gate, RecordIsFieldInHostOrderThenValue)
{
	uchar ip[4] = {0x0a, 0x01, 0x02, 0x03};
	ASSERT_EQ(cmos_access_main(CMOS_WRITE, CMOS_FIELD_IP, ip), 0);

	Bytes rec = cmos.records();
	ASSERT_EQ(rec.size(), 132u);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 8), hex("000000010a010203"));
#else
	EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 8), hex("010000000a010203"));
#endif
	EXPECT_EQ(Bytes(rec.begin() + 8, rec.end()), Bytes(124, 0));
}

TEST_F(Gate, ReadFillsOnlyTheFieldsLength)
{
	cmos.seed(CMOS_AT_IPV6, hex("fe800000000000000000000000000001"));
	cmos.seed(CMOS_AT_CONSOLE, hex("1aff"));
	cmos.seed(228, hex("77"));
	const struct {
		int field;
		const char *bytes;
	} fields[] = {
		{CMOS_FIELD_IP, "c0a80102"},
		{CMOS_FIELD_CONSOLE, "1aff"},
		{CMOS_FIELD_IPV6, "fe800000000000000000000000000001"},
		{CMOS_FIELD_IPV6_MASK, "00000040"},
		{CMOS_FIELD_MENU, "01"},
		{228, "77"},
	};
	for (const auto &f : fields) {
		SCOPED_TRACE(f.field);
		Bytes value = hex(f.bytes);
		Bytes input(CMOS_VAL_MAX, 0x5a);
		ASSERT_EQ(cmos_access_main(CMOS_READ, f.field, input.data()), 0);
		EXPECT_EQ(Bytes(input.begin(), input.begin() + value.size()), value);
		EXPECT_EQ(input[value.size()], 0x5a) << "wrote past the field";
		EXPECT_EQ(cmos.exchange(), "open; read " + std::to_string(f.field) + " " +
			  std::to_string(value.size()) + " " + f.bytes + "; close");
	}
}

TEST_F(Gate, NumbersThatNameNoFieldNeverOpenTheDevice)
{
	uchar input[CMOS_VAL_MAX] = {};
	for (int field : {0, 10, 11, 12, 14, 119, 256, -1, 1 << 24}) {
		SCOPED_TRACE(field);
		for (int oper : {CMOS_READ, CMOS_WRITE}) {
			errno = 0;
			EXPECT_EQ(cmos_access_main(oper, field, input), -1);
			EXPECT_EQ(errno, EINVAL);
		}
	}
	EXPECT_EQ(cmos.exchange(), "");
}

TEST_F(Gate, ResetAndOtherCodesIgnoreFieldAndInput)
{
	EXPECT_EQ(cmos_access_main(CMOS_RESET, 9999, nullptr), 0);
	EXPECT_EQ(cmos.exchange(), "open; ioctl reset; close");
	EXPECT_TRUE(cmos.reset_pending());

	EXPECT_EQ(cmos_access_main(0, 9999, nullptr), 0);
	EXPECT_EQ(cmos_access_main(5, 1, nullptr), 0);
	EXPECT_EQ(cmos.exchange(), "open; close; open; close");
}

TEST_F(Gate, DumpPrintsEightBytesALineThenAnEmptyLine)
{
	Bytes image(CMOS_SIZE, 0);
	image[0] = 0xab;
	image[1] = 0x05;
	image[255] = 0xff;
	cmos.seed(0, image);

	testing::internal::CaptureStdout();
	EXPECT_EQ(cmos_access_main(CMOS_DUMP, -1, nullptr), 0);
	std::string dump = testing::internal::GetCapturedStdout();

	std::string zeros;
	for (int line = 0; line < 30; line++)
		zeros += "0 0 0 0 0 0 0 0 \n";
	EXPECT_EQ(dump, "ab 5 0 0 0 0 0 0 \n" + zeros + "0 0 0 0 0 0 0 ff \n\n");
	EXPECT_EQ(cmos.exchange(), "open; ioctl dump; close");
}

// The gate's failures: result, errno, and the device closed on every path
// after a successful open.
TEST_F(Gate, FailuresReportResultAndErrno)
{
	const struct {
		const char *fault;
		int oper;
		int result;
		int err;
		const char *exchange;
	} cases[] = {
		{"open=ENOENT", CMOS_READ, -1, ENOENT, "open !ENOENT"},
		{"open=EACCES", CMOS_WRITE, -1, ENOENT, "open !EACCES"},
		{"open=EACCES", CMOS_DUMP, -1, ENOENT, "open !EACCES"},
		{"read", CMOS_READ, -1, EIO, "open; read 1 4 !EIO; close"},
		{"write", CMOS_WRITE, -1, EIO, "open; write 1 4 0a010203 !EIO; close"},
		{"ioctl", CMOS_RESET, -1, EIO, "open; ioctl reset !EIO; close"},
		{"ioctl", CMOS_DUMP, -1, EIO, "open; ioctl dump !EIO; close"},
		{"close", CMOS_WRITE, 0, EIO, "open; write 1 4 0a010203; close !EIO"},
		{"read,close", CMOS_READ, -1, EIO, "open; read 1 4 !EIO; close !EIO"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.fault) + " oper " + std::to_string(c.oper));
		setenv("NVPARM_SIM_FAIL", c.fault, 1);
		uchar input[CMOS_VAL_MAX] = {0x0a, 0x01, 0x02, 0x03};
		Bytes before = cmos.image();
		errno = 0;
		testing::internal::CaptureStdout();
		EXPECT_EQ(cmos_access_main(c.oper, CMOS_FIELD_IP, input), c.result);
		int err = errno;
		EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
		EXPECT_EQ(err, c.err);
		EXPECT_EQ(cmos.exchange(), c.exchange);
		if (c.oper == CMOS_WRITE && c.result) {
			EXPECT_EQ(cmos.image(), before);
		}
	}
}

TEST_F(Gate, MissingDeviceFailsEveryOperation)
{
	unsetenv("NVPARM_SIM_IMAGE");
	uchar input[CMOS_VAL_MAX] = {};
	testing::internal::CaptureStdout();
	for (int oper : {CMOS_READ, CMOS_WRITE, CMOS_RESET, CMOS_DUMP}) {
		errno = 0;
		EXPECT_EQ(cmos_access_main(oper, 150, input), -1) << oper;
		EXPECT_EQ(errno, ENOENT) << oper;
	}
	EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
