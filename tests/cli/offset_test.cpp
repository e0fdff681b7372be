// SPDX-License-Identifier: MIT
// -O offset value and -o offset: single bytes from 120 to 255.
#include "table.h"

TEST(Offset, BytesInRange)
{
	SimCmos cmos;
	cmos.seed(120, hex("ab"));
	cmos.seed(228, hex("05"));
	cmos.seed(255, hex("ff"));
	expect_row(cmos, {{"-o", "120"}, "171\n", "", 1, "open; read 120 1 ab; close"});
	expect_row(cmos, {{"--read-offset", "228"}, "5\n", "", 1, "open; read 228 1 05; close"});
	expect_row(cmos, {{"-o", "255"}, "255\n", "", 1, "open; read 255 1 ff; close"});
	expect_row(cmos, {{"-o", " +150xyz"}, "0\n", "", 1, "open; read 150 1 00; close"});
	expect_rows({
		{{"-O", "200", "7"}, "", "", 1, "open; write 200 1 07; close"},
		{{"--write-offset", "200", "300"}, "", "", 1, "open; write 200 1 2c; close"},
		{{"-O", "255", "511"}, "", "", 1, "open; write 255 1 ff; close"},
		{{"-O", "120", "x"}, "", "", 1, "open; write 120 1 00; close"},
	});
}

TEST(Offset, OutOfRangeOrNoNumberWritesNothing)
{
	expect_rows({
		{{"-o", "0"}, "", "", 1, ""},
		{{"-o", "abc"}, "", "", 1, ""},
		{{"-o", "119"}, "Error: Read offset 119 out of range\n", "", 1, ""},
		{{"-o", "256"}, "Error: Read offset 256 out of range\n", "", 1, ""},
		{{"-o", "-5"}, "Error: Read offset -5 out of range\n", "", 1, ""},
		{{"-o", "4294967416"}, "Error: Read offset 2147483647 out of range\n", "", 1, ""},
		{{"-O", "100", "5"}, "Error: offset 100 out of range\n", "", 1, ""},
		{{"-O", "abc", "5"}, "", "", 1, ""},
		{{"-O", "4294967496", "5"}, "Error: offset 2147483647 out of range\n", "", 1, ""},
		{{"-O", "150"}, "Error: empty argument\n", "", 1, ""},
	});
}
