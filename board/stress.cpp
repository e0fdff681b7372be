// SPDX-License-Identifier: MIT
// The CMOS driver on the board, against callers that race and callers that
// lie:
//  1. two writers flip a 16-byte and a 4-byte field between two values
//     while two readers check that they never see a mix of the two, and
//     that every call succeeds;
//  2. a table of hostile calls, each with the result it must get, and the
//     whole store unchanged by it.
//   stress STORE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cmos_layout.h"
#include "cmos_requests.h"

// One field: its number and length, and one of two values, as a record.
static void record(unsigned char *rec, unsigned field, size_t len, unsigned char fill)
{
	memcpy(rec, &field, 4);
	memset(rec + 4, fill, len);
}

// Every byte one of the two values, and all of them the same.
static bool uniform(const unsigned char *b, size_t len)
{
	for (size_t i = 0; i < len; i++)
		if (b[i] != b[0] || (b[0] != 0x11 && b[0] != 0xee))
			return false;
	return true;
}

// Writes the ipv6 and ip fields in turn, 400 times, each all 0x11 or all
// 0xee; writer 0 and writer 1 start on different values. Its failures.
static int writer(int fd, int which)
{
	unsigned char rec[132] = {};
	int failures = 0;
	for (int i = 0; i < 400; i++) {
		bool ipv6 = i & 1;
		size_t len = ipv6 ? 16 : 4;
		record(rec, ipv6 ? 8 : 1, len, ((i >> 1) + which) & 1 ? 0xee : 0x11);
		if (write(fd, rec, len) != (ssize_t)len) {
			fprintf(stderr, "stress: writer %d: write %zu: %s\n", which, len, strerror(errno));
			failures++;
		}
	}
	return failures;
}

// Reads both fields, and the dump, 400 times: each must be whole. Its
// failures.
static int reader(int fd, int which)
{
	unsigned char rec[132] = {};
	unsigned char dump[CMOS_SIZE];
	int failures = 0;
	for (int i = 0; i < 400; i++) {
		bool ipv6 = i & 1;
		size_t len = ipv6 ? 16 : 4;
		record(rec, ipv6 ? 8 : 1, len, 0);
		bool whole = read(fd, rec, len) == (ssize_t)len && uniform(rec + 4, len);
		whole = whole && ioctl(fd, CMOS_IOC_DUMP_NUMBER, dump) == 0;
		whole = whole && uniform(dump + 48, 16) && uniform(dump + 16, 4);
		if (!whole) {
			fprintf(stderr, "stress: reader %d saw a mix, or a call failed\n", which);
			failures++;
		}
	}
	return failures;
}

// Two writers and two readers on one descriptor at once: how many of them
// failed.
static int torn_reads()
{
	unsigned char rec[132] = {};
	int fd = open("/dev/cmos", O_RDWR);
	record(rec, 8, 16, 0x11);
	write(fd, rec, 16);
	record(rec, 1, 4, 0x11);
	write(fd, rec, 4);
	pid_t pids[4];
	for (int which = 0; which < 4; which++) {
		pids[which] = fork();
		if (pids[which] == 0 && which < 2)
			_exit(writer(fd, which) != 0);
		if (pids[which] == 0)
			_exit(reader(fd, which) != 0);
	}
	int failures = 0;
	for (pid_t pid : pids) {
		int status;
		waitpid(pid, &status, 0);
		failures += status != 0;
	}
	close(fd);
	return failures;
}

// Where a hostile call's record lies: in an unmapped page, inside
// a page, ending at a page's end, or ending one byte past it.
enum Place { UNMAPPED, INSIDE, PAGE_END, PAST_END };
enum Call { READ, WRITE, IOCTL };

struct Hostile {
	const char *what;
	Call call;
	int mode;		// how the descriptor is opened
	Place place;
	unsigned number;	// the record's field, or the request
	size_t count;		// of a read or write; of a dump, the bytes it fills
	long result;		// or the negated errno
};

// Records hold 0xa5 after the field: a write that should fail changes the store.
static const Hostile hostile[] = {
	{"read into an unmapped page", READ, O_RDWR, UNMAPPED, 0, 4, -EFAULT},
	{"read into a record ending at a page's end", READ, O_RDWR, PAGE_END, 8, 16, 16},
	{"write from a record one byte past a page's end", WRITE, O_RDWR, PAST_END, 8, 16, -EFAULT},
	{"dump one byte past a page's end", IOCTL, O_RDWR, PAST_END, CMOS_IOC_DUMP_NUMBER, CMOS_SIZE, -EFAULT},
	{"write one byte short", WRITE, O_RDWR, INSIDE, 1, 3, -EINVAL},
	{"write of the 132-byte record", WRITE, O_RDWR, INSIDE, 1, 132, -EINVAL},
	{"dump through a write-only descriptor", IOCTL, O_WRONLY, INSIDE, CMOS_IOC_DUMP_NUMBER, 0, -EBADF},
	{"reset through a read-only descriptor", IOCTL, O_RDONLY, INSIDE, CMOS_IOC_RESET_NUMBER, 0, -EBADF},
	{"the reset's number with another size", IOCTL, O_RDWR, INSIDE, 0x80046301, 0, -ENOTTY},
	{"write to field 10, which names nothing", WRITE, O_RDWR, INSIDE, 10, 4, -EINVAL},
	{"write to field 256, past the offsets", WRITE, O_RDWR, INSIDE, 256, 1, -EINVAL},
};

// The store's bytes, as many as fit: the driver's region is a few hundred.
static ssize_t store_bytes(const char *store, unsigned char *bytes)
{
	int fd = open(store, O_RDONLY);
	ssize_t n = read(fd, bytes, 4096);
	close(fd);
	return n;
}

static int hostile_calls(const char *store)
{
	long page = sysconf(_SC_PAGESIZE);
	unsigned char *area = (unsigned char *)mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE,
						    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	unsigned char *end = area + page;	// nothing readable from here
	mprotect(end, page, PROT_NONE);
	munmap(end + page, page);
	int failures = 0;
	for (const Hostile &h : hostile) {
		size_t need = h.call == IOCTL ? h.count : 4 + h.count;	// what the driver may touch
		unsigned char *places[] = {end + page, area, end - need, end - need + 1};
		unsigned char *rec = places[h.place];
		memset(area, 0xa5, page);
		if (rec >= area && rec < end)
			memcpy(rec, &h.number, 4);
		unsigned char before[4096], after[4096];
		ssize_t size = store_bytes(store, before);
		int fd = open("/dev/cmos", h.mode);
		long got;
		if (h.call == READ)
			got = read(fd, rec, h.count);
		else if (h.call == WRITE)
			got = write(fd, rec, h.count);
		else
			got = ioctl(fd, h.number, rec);
		if (got < 0)
			got = -errno;
		close(fd);
		bool changed = size <= 0 || store_bytes(store, after) != size || memcmp(before, after, size);
		if (got != h.result || changed) {
			fprintf(stderr, "stress: %s: expected %ld, got %ld%s\n", h.what, h.result, got,
				changed ? "; the store changed" : "");
			failures++;
		}
	}
	return failures;
}

int main(int argc, char **argv)
{
	if (argc != 2)
		return 2;
	int mixed = torn_reads();
	int wrong = hostile_calls(argv[1]);
	printf("stress: %d of two writers and two readers failed; %d of %zu hostile calls wrong\n",
	       mixed, wrong, sizeof(hostile) / sizeof(hostile[0]));
	return mixed || wrong;
}
