// SPDX-License-Identifier: MIT
// What nvparm says to the user besides the values it prints.

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <limits.h>

#include "cmos_intf.h"
#include "say.h"

void say(const char *format, ...)
{
	// Room for a path as long as the system takes, and a line of a file.
	char message[PATH_MAX + 1024];
	const char *c = message;
	va_list ap;

	va_start(ap, format);
	vsnprintf(message, sizeof(message), format, ap);
	va_end(ap);
	fputs("nvparm: ", stderr);
	while (*c) {
		size_t run = 0;

		while (c[run] >= ' ' && c[run] <= '~')
			run++;
		fwrite(c, 1, run, stderr);
		c += run;
		if (*c)
			fprintf(stderr, "\\x%02x", (unsigned char)*c++);
	}
	putc('\n', stderr);
}

// An open that failed names no call, as every tool says a path it cannot open.
const char *device_cause(char cause[CAUSE_MAX])
{
	if (!strcmp(cmos_failed_call, "open"))
		snprintf(cause, CAUSE_MAX, "/dev/cmos: %s", strerror(errno));
	else
		snprintf(cause, CAUSE_MAX, "/dev/cmos: %s: %s", cmos_failed_call, strerror(errno));
	return cause;
}

void say_device_cause()
{
	char cause[CAUSE_MAX];

	say("%s", device_cause(cause));
}

void say_device_failure(const char *text, FILE *stream)
{
	int cause = errno;

	fputs(text, stream);
	errno = cause;
	say_device_cause();
}

bool stdout_flushed()
{
	int flushed = fflush(stdout);

	if (flushed == 0 && !ferror(stdout))
		return true;
	// A full disk, or a reader gone with SIGPIPE ignored.
	say("write error: %s", strerror(flushed ? errno : EIO));
	clearerr(stdout);
	return false;
}
