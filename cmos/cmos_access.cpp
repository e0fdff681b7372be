// SPDX-License-Identifier: MIT
// The one gate to the CMOS driver: one call opens "/dev/cmos", makes one
// exchange and closes it again. It prints nothing but the dump; callers
// decide what a failure means to the user.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cmos_defs.h"
#include "cmos_intf.h"

const char *cmos_failed_call = "";

// Always -1: the call named failed, and errno says why.
static int failed(const char *call)
{
	cmos_failed_call = call;
	return -1;
}

// Eight bytes a line, each "%x "; an empty line closes the dump.
static void print_dump(const uchar *cmos)
{
	for (int i = 0; i < CMOS_DUMP_SIZE; i++) {
		printf("%x ", cmos[i]);
		if ((i & 7) == 7)
			putchar('\n');
	}
	putchar('\n');
}

int cmos_access_main(int oper, int field, uchar *input)
{
	cmos_cmd_t cmos_cmd_msg = {};
	uchar dump[CMOS_DUMP_SIZE] = {};
	unsigned int size = 0;
	int ret = 0;

	if (oper == CMOS_READ || oper == CMOS_WRITE) {
		cmos_place(field, &size);
		if (!size) {
			errno = EINVAL;
			return -1;
		}
		cmos_cmd_msg.field = field;
	}

	int fd = open("/dev/cmos", O_RDWR);
	if (fd < 0)
		return failed("open");

	switch (oper) {
	case CMOS_READ:
		// The count is the field's length, not the record's size.
		if (read(fd, &cmos_cmd_msg, size) < 0)
			ret = failed("read");
		else
			memcpy(input, cmos_cmd_msg.val, size);
		break;
	case CMOS_WRITE:
		memcpy(cmos_cmd_msg.val, input, size);
		if (write(fd, &cmos_cmd_msg, size) < 0)
			ret = failed("write");
		break;
	case CMOS_RESET:
		if (ioctl(fd, CMOS_IOC_RESET, NULL) < 0)
			ret = failed("ioctl");
		break;
	case CMOS_DUMP:
		if (ioctl(fd, CMOS_IOC_DUMP, dump) < 0)
			ret = failed("ioctl");
		else
			print_dump(dump);
		break;
	}

	// A failed close loses nothing the exchange did, and keeps its cause.
	int cause = errno;
	close(fd);
	errno = cause;
	return ret;
}

int cmos_access_lock(bool exclusive)
{
	int lock = open("/dev/cmos", O_RDWR | O_CLOEXEC);
	if (lock < 0)
		return failed("open");
	// A kernel built without file locking has nothing to hold others off with.
	if (flock(lock, exclusive ? LOCK_EX : LOCK_SH) < 0 && errno != ENOSYS) {
		int cause = errno;
		close(lock);
		errno = cause;
		return failed("flock");
	}
	return lock;
}

void cmos_access_unlock(int lock)
{
	close(lock);
}
