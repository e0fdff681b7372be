// SPDX-License-Identifier: MIT
#include "fuzz_io.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

char captured_out[1 << 16], captured_err[1 << 16];
int device_writes;

static char scratch[] = "/tmp/nvparm-fuzz.XXXXXX";
static char cmdline_path[sizeof(scratch) + 16];
static FILE *real_stdout, *real_stderr;

// The simulator refuses, with these, every exchange the tool must never make.
extern "C" void cmos_sim_observe(const char *line)
{
	if (!strncmp(line, "write ", 6))
		device_writes++;
	if (strstr(line, "!EINVAL") || strstr(line, "!ENOTTY") || strstr(line, "!EFAULT")) {
		fprintf(real_stderr ? real_stderr : stderr, "refused by the driver: %s\n", line);
		abort();
	}
}

void fuzz_setup()
{
	static bool done;
	char image[sizeof(scratch) + 16];

	if (done)
		return;
	done = true;
	if (!mkdtemp(scratch))
		abort();
	snprintf(image, sizeof(image), "%s/cmos.img", scratch);
	snprintf(cmdline_path, sizeof(cmdline_path), "%s/cmdline", scratch);
	setenv("NVPARM_SIM_IMAGE", image, 1);
	setenv("NVPARM_SIM_CMDLINE", cmdline_path, 1);
	unsetenv("NVPARM_SIM_TRACE");
	unsetenv("NVPARM_SIM_RECORDS");
	unsetenv("NVPARM_SIM_FAIL");
}

const char *fuzz_cmdline_path()
{
	return cmdline_path;
}

void capture_begin()
{
	device_writes = 0;
	memset(captured_out, 0, sizeof(captured_out));
	memset(captured_err, 0, sizeof(captured_err));
	real_stdout = stdout;
	real_stderr = stderr;
	// One byte short, so that what is caught always ends in a NUL.
	stdout = fmemopen(captured_out, sizeof(captured_out) - 1, "w");
	stderr = fmemopen(captured_err, sizeof(captured_err) - 1, "w");
	if (!stdout || !stderr)
		abort();
}

void capture_end()
{
	fclose(stdout);
	fclose(stderr);
	stdout = real_stdout;
	stderr = real_stderr;
}
