// SPDX-License-Identifier: MIT
// The CMOS driver under stress, on the board:
//  1. two writers flip a 16-byte and a 4-byte field between two values
//     while two readers check that they never see a mix of the two, and
//     that every call succeeds;
//  2. a bounded random sequence of read, write and ioctl calls, with random
//     fields, counts, requests, descriptors (read-only, write-only, both) and
//     pointers (NULL, unmapped, a record ending at a page's end or one byte
//     past it), each result held against a model of the driver, and the
//     store against the model.
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

static const char *store;
static unsigned seed = 2026;

static unsigned rnd(unsigned n)
{
	seed ^= seed << 13;
	seed ^= seed >> 17;
	seed ^= seed << 5;
	return seed % n;
}

// One field: its number and length, and one of two values, as a record.
static void record(unsigned char *rec, unsigned field, size_t len, unsigned char fill)
{
	memcpy(rec, &field, 4);
	memset(rec + 4, fill, len);
}

static bool uniform(const unsigned char *b, size_t len)
{
	for (size_t i = 0; i < len; i++)
		if (b[i] != b[0] || (b[0] != 0x11 && b[0] != 0xee))
			return false;
	return true;
}

static int torn_reads()
{
	volatile int *shared = (volatile int *)mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
						    MAP_SHARED | MAP_ANONYMOUS, -1, 0);
	unsigned char rec[132] = {};
	int fd = open("/dev/cmos", O_RDWR);
	record(rec, 8, 16, 0x11);
	write(fd, rec, 16);
	record(rec, 1, 4, 0x11);
	write(fd, rec, 4);
	pid_t pids[4];
	for (int p = 0; p < 4; p++) {
		if ((pids[p] = fork()))
			continue;
		for (int i = 0; p < 2 ? i < 400 : !shared[0]; i++) {
			bool ipv6 = i & 1;
			size_t len = ipv6 ? 16 : 4;
			unsigned char dump[CMOS_SIZE];
			record(rec, ipv6 ? 8 : 1, len, ((i >> 1) + p) & 1 ? 0xee : 0x11);
			if (p < 2 && write(fd, rec, len) != (ssize_t)len) {
				fprintf(stderr, "stress: writer %d: write %zu: %s\n", p, len, strerror(errno));
				shared[1]++;
			}
			if (p >= 2 && (read(fd, rec, len) != (ssize_t)len || !uniform(rec + 4, len) ||
				       ioctl(fd, CMOS_IOC_DUMP_NUMBER, dump) || !uniform(dump + 48, 16) ||
				       !uniform(dump + 16, 4))) {
				fprintf(stderr, "stress: reader %d saw a mix, or a call failed\n", p);
				shared[1]++;
			}
		}
		_exit(0);
	}
	waitpid(pids[0], nullptr, 0);
	waitpid(pids[1], nullptr, 0);
	shared[0] = 1;
	waitpid(pids[2], nullptr, 0);
	waitpid(pids[3], nullptr, 0);
	close(fd);
	return shared[1];
}

// What the driver must answer, and the store it must leave.
struct Model {
	unsigned char cmos[CMOS_SIZE];
	unsigned char pending;
};

static bool store_matches(const Model &m)
{
	unsigned char got[CMOS_STORE_SIZE];
	int fd = open(store, O_RDONLY);
	bool ok = pread(fd, got, sizeof(got), 0) == (ssize_t)sizeof(got) &&
		  !memcmp(got, m.cmos, CMOS_SIZE) && got[CMOS_STORE_RESET] == m.pending;
	close(fd);
	return ok;
}

static int random_calls(int calls)
{
	static const unsigned fields[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 120, 228, 255, 0, 10, 12, 14, 119, 256,
					  0xffffffff, 0x01000001};
	long page = sysconf(_SC_PAGESIZE);
	unsigned char *area = (unsigned char *)mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE,
						    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	unsigned char *guard = area + 2 * page;	// nothing readable from here
	mprotect(guard, page, PROT_NONE);
	unsigned char *unmapped = (unsigned char *)mmap(nullptr, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
	munmap(unmapped, page);
	int rw = open("/dev/cmos", O_RDWR), ro = open("/dev/cmos", O_RDONLY), wo = open("/dev/cmos", O_WRONLY);
	Model m;
	int image = open(store, O_RDONLY);
	pread(image, m.cmos, CMOS_SIZE, 0);
	pread(image, &m.pending, 1, CMOS_STORE_RESET);
	close(image);
	int failures = 0;

	for (int call = 0; call < calls; call++) {
		unsigned field = fields[rnd(sizeof(fields) / sizeof(fields[0]))];
		unsigned len, at = cmos_place(field, &len);
		size_t count = rnd(4) ? len : rnd(140);
		unsigned mode = rnd(5);	// 0 read-only, 1 write-only, else both
		bool is_write = false, ok_pointer = true, field_ok = true;
		int fd = mode == 0 ? ro : mode == 1 ? wo : rw;
		unsigned op = rnd(3), where = rnd(8), req = 0;
		size_t need = op == 2 ? CMOS_SIZE : 4 + len;	// what the driver may touch
		unsigned char *buf = area + rnd(page);
		if (where == 0 || where == 1) {
			buf = where ? unmapped : nullptr;
			ok_pointer = field_ok = false;
		} else if (where == 2) {
			buf = guard - need;	// ends at the page's end
		} else if (where == 3) {
			buf = guard - need + 1;	// its last byte unreadable
			ok_pointer = false;
			field_ok = op == 2 || need > 4;
		}
		unsigned char value[16];
		for (auto &b : value)
			b = rnd(256);
		if (ok_pointer || where == 3) {
			size_t fits = where == 3 ? need - 1 : need;
			memset(buf, 0x5a, fits);
			if (fits >= 4)
				memcpy(buf, &field, 4);
			memcpy(buf + 4, value, fits > 4 + len ? len : fits > 4 ? fits - 4 : 0);
		}

		long got;
		int expected;
		errno = 0;
		if (op < 2) {
			is_write = op == 1;
			got = is_write ? write(fd, buf, count) : read(fd, buf, count);
			expected = mode == !is_write ? -EBADF : !field_ok ? -EFAULT :
				   !len || count != len ? -EINVAL : !ok_pointer ? -EFAULT : (int)len;
		} else {
			unsigned kind = rnd(3);
			req = kind == 0 ? CMOS_IOC_RESET_NUMBER : kind == 1 ? CMOS_IOC_DUMP_NUMBER :
			      (0x20000000u << rnd(3)) | rnd(0x2000) << 16 | 'c' << 8 | (3 + rnd(250));
			got = ioctl(fd, req, buf);
			expected = kind == 2 ? -ENOTTY : mode == kind ? -EBADF : kind == 0 || ok_pointer ? 0 : -EFAULT;
		}
		if (got < 0)
			got = -errno;
		bool ok = got == expected;
		if (ok && got >= 0 && op == 0)
			ok = !memcmp(buf + 4, m.cmos + at, len);
		if (ok && got >= 0 && op == 2 && req == CMOS_IOC_DUMP_NUMBER)
			ok = !memcmp(buf, m.cmos, CMOS_SIZE);
		if (got >= 0 && is_write)
			memcpy(m.cmos + at, value, len);
		if (got >= 0 && req == CMOS_IOC_RESET_NUMBER)
			m.pending = 1;
		if (!ok || !store_matches(m)) {
			fprintf(stderr, "stress: call %d: %s field %u count %zu%s, pointer %u, request %#x: "
				"expected %d, got %ld%s\n", call, op == 0 ? "read" : op == 1 ? "write" : "ioctl",
				field, count, mode ? mode == 1 ? " write-only" : "" : " read-only", where, req, expected, got,
				ok ? "; the store differs from the model" : "");
			if (++failures == 10)
				break;
		}
	}
	close(rw);
	close(ro);
	close(wo);
	return failures;
}

int main(int argc, char **argv)
{
	if (argc != 2)
		return 2;
	store = argv[1];
	int mixed = torn_reads();
	int wrong = random_calls(1500);
	printf("stress: %d failures under two writers and two readers, %d in 1500 random calls (seed 2026)\n",
	       mixed, wrong);
	return mixed || wrong;
}
