// SPDX-License-Identifier: MIT
// Where nvparm starts: the standard streams made safe, every option carried
// out, and output that could not be written reported.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>

#include "nvparm.h"
#include "say.h"

// A closed standard descriptor is the next one open() hands out: "/dev/cmos"
// would become standard output and take what is printed. One poll finds
// any that is closed.
static bool standard_streams_open()
{
	struct pollfd std_fds[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};

	if (poll(std_fds, 3, 0) < 0)
		return false;
	for (const struct pollfd &p : std_fds)
		if ((p.revents & POLLNVAL) && open("/dev/null", O_RDWR) != p.fd)
			return false;
	return true;
}

int main(int argc, char **argv)
{
	if (!standard_streams_open()) {
		say("/dev/null: %s", strerror(errno));
		return 1;
	}

	int status = configure(argc, argv);

	// Once, after every option ran; the status stays.
	stdout_flushed();
	return status;
}
