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
	char shown[256];
	size_t n = 0;
	va_list ap;

	va_start(ap, format);
	vsnprintf(message, sizeof(message), format, ap);
	va_end(ap);
	fputs("nvparm: ", stderr);
	for (const char *c = message; *c; c++) {
		unsigned char byte = *c;

		// Standard error is unbuffered: written a piece at a time, not a byte.
		if (n + 4 >= sizeof(shown)) {
			fwrite(shown, 1, n, stderr);
			n = 0;
		}
		if (byte >= ' ' && byte <= '~')
			shown[n++] = byte;
		else
			n += snprintf(shown + n, 5, "\\x%02x", byte);
	}
	shown[n++] = '\n';
	fwrite(shown, 1, n, stderr);
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
