// SPDX-License-Identifier: MIT
// The simulated CMOS driver: preloaded into a process, it stands behind
// "/dev/cmos" and keeps the 256 CMOS bytes in an image file. It is
// stricter than the board's driver: an exchange the tool must never make
// fails, so no test can pass on one.
//
// Settings, read by the simulator alone:
//   NVPARM_SIM_IMAGE    the image; a missing or empty one is written with the
//                       factory defaults as the simulator loads. Unset, there
//                       is no device.
//   NVPARM_SIM_TRACE    appends one line per call on the device
//   NVPARM_SIM_RECORDS  appends every record passed to read or write, raw
//   NVPARM_SIM_CMDLINE  a file served, however it is opened, as "/proc/cmdline"
//   NVPARM_SIM_FAIL     faults, comma-separated: open=ENOENT, open=EACCES,
//                       read, write, ioctl, close (the last four fail with
//                       EIO), read:N and write:N (only those of field N),
//                       flock (ENOSYS, as without the kernel's file
//                       locking), cmdline ("/proc/cmdline" cannot be opened)
// Each exchange holds a lock on the image for its read, change and write,
// so that processes sharing one image lose nothing. A reset request leaves
// "<image>.reset-pending"; the reboot of the cmos-sim wrapper then empties
// the image, and the next process to load the simulator writes the factory
// defaults into it.
// A program built together with the simulator may define cmos_sim_observe
// to see every trace line in process, as the fuzz target does.

// The simulator defines read, open and the rest itself: no inline
// stand-ins from the C library's headers.
#undef _FORTIFY_SOURCE

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "cmos_defs.h"

extern "C" void cmos_sim_observe(const char *line) __attribute__((weak));

namespace {

int cmos_fds[8];
int cmos_open_count;

template <typename F> F real(F, const char *name)
{
	return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

#define REAL(fn) real(fn, #fn)

bool is_cmos_fd(int fd)
{
	for (int i = 0; i < cmos_open_count; i++)
		if (cmos_fds[i] == fd)
			return true;
	return false;
}

// Whether the n bytes at item, an item of the fault list, are word.
bool item_is(const char *item, size_t n, const char *word)
{
	return strlen(word) == n && !strncmp(item, word, n);
}

bool fault(const char *what)
{
	const char *faults = getenv("NVPARM_SIM_FAIL");

	for (const char *p = faults; p && *p; p += strcspn(p, ",")) {
		p += *p == ',';
		if (item_is(p, strcspn(p, ","), what))
			return true;
	}
	return false;
}

// An errno by its name ("ENOSYS"), where the C library can say it.
const char *errno_name(int e)
{
	static char number[16];

#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 32)
	if (const char *name = strerrorname_np(e))
		return name;
#endif
	snprintf(number, sizeof(number), "errno %d", e);
	return number;
}

// Whether an item of the fault list, n bytes at item, is a fault the
// simulator injects. "read:N" and "write:N" must name a field, N written
// as the trace writes it: no leading zero.
bool injects(const char *item, size_t n)
{
	static const char *const known[] = {"open=ENOENT", "open=EACCES", "read", "write", "ioctl", "close", "flock",
					    "cmdline"};
	static const char *const of_field[] = {"read:", "write:"};

	for (const char *k : known)
		if (item_is(item, n, k))
			return true;
	for (const char *call : of_field) {
		size_t at = strlen(call);
		unsigned int len = 0;

		if (n <= at || strncmp(item, call, at))
			continue;
		if (n - at < 4 && strspn(item + at, "0123456789") == n - at && item[at] != '0')
			cmos_place(atoi(item + at), &len);
		return len != 0;
	}
	return false;
}

// Every fault asked for is one the simulator injects: one that injects
// nothing would let a test pass that never saw its fault.
__attribute__((constructor)) void check_faults()
{
	const char *faults = getenv("NVPARM_SIM_FAIL");

	for (const char *p = faults; p && *p; p += strcspn(p, ",")) {
		p += *p == ',';
		size_t n = strcspn(p, ",");

		if (n && !injects(p, n)) {
			fprintf(stderr, "cmos-sim: --fail or NVPARM_SIM_FAIL: %.*s injects no fault\n", (int)n, p);
			_exit(2);
		}
	}
}

// The named file, when it is the process's standard output or error (as
// "--trace /dev/stderr >log 2>&1" makes it), takes the line through that
// descriptor: after what the process wrote there, and not written over.
void append(const char *env, const void *data, size_t len)
{
	const char *path = getenv(env);
	if (!path)
		return;
	int fd = REAL(open)(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
	if (fd < 0)
		return;
	int to = fd;
	struct stat named, standard;
	if (!fstat(fd, &named))
		for (int std_fd = 1; std_fd <= 2; std_fd++)
			if (!fstat(std_fd, &standard) && standard.st_dev == named.st_dev &&
			    standard.st_ino == named.st_ino)
				to = std_fd;
	if (REAL(write)(to, data, len) != (ssize_t)len)
		fprintf(stderr, "cmos-sim: short write to %s\n", path);
	REAL(close)(fd);
}

// One trace line: what was asked, the value bytes, and "!ERRNO" on failure.
int trace(int result, const char *call, const unsigned char *val = nullptr, size_t len = 0)
{
	char line[400];
	int saved_errno = errno;
	int n = snprintf(line, sizeof(line), "%s", call);

	if (val)
		n += snprintf(line + n, sizeof(line) - n, " ");
	for (size_t i = 0; i < len; i++)
		n += snprintf(line + n, sizeof(line) - n, "%02x", val[i]);
	if (result < 0)
		n += snprintf(line + n, sizeof(line) - n, " !%s", errno_name(errno));
	if (cmos_sim_observe)
		cmos_sim_observe(line);
	n += snprintf(line + n, sizeof(line) - n, "\n");
	append("NVPARM_SIM_TRACE", line, n);
	errno = saved_errno;
	return result;
}

int fail(int e)
{
	errno = e;
	return -1;
}

// The image, locked until close_image: an empty or missing one holds the
// factory defaults. Returns the locked descriptor, or -1.
int open_image(unsigned char *cmos)
{
	int fd = REAL(open)(getenv("NVPARM_SIM_IMAGE"), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
	if (fd < 0)
		return -1;
	ssize_t got;
	if (flock(fd, LOCK_EX) < 0 || (got = pread(fd, cmos, CMOS_SIZE, 0)) < 0) {
		REAL(close)(fd);
		return -1;
	}
	if (got == 0)
		cmos_factory_defaults(cmos);
	else
		memset(cmos + got, 0, CMOS_SIZE - got);
	return fd;
}

// Writes all 256 bytes back in one call, then lets the next process in.
bool close_image(int fd, const unsigned char *cmos)
{
	bool ok = !cmos || pwrite(fd, cmos, CMOS_SIZE, 0) == CMOS_SIZE;
	REAL(close)(fd);
	return ok;
}

int open_cmos(int flags)
{
	if (fault("open=ENOENT") || !getenv("NVPARM_SIM_IMAGE"))
		return trace(fail(ENOENT), "open");
	if (fault("open=EACCES") || (flags & O_ACCMODE) != O_RDWR)
		return trace(fail(EACCES), "open");
	if (cmos_open_count == (int)(sizeof(cmos_fds) / sizeof(cmos_fds[0])))
		return trace(fail(EBUSY), "open");

	int fd = REAL(open)("/dev/null", O_RDWR);
	// The device as a standard stream would take what is printed.
	if (fd >= 0 && fd <= 2) {
		REAL(close)(fd);
		return trace(fail(EBADF), "open as a standard stream");
	}
	if (fd >= 0)
		cmos_fds[cmos_open_count++] = fd;
	return trace(fd, "open");
}

// A read or a write: the driver takes the whole record, whatever the count.
ssize_t exchange(bool is_write, void *buf, size_t count)
{
	cmos_cmd_t rec;
	unsigned char cmos[CMOS_SIZE];
	char call[64];
	unsigned int len, at;
	size_t shown = count < CMOS_VAL_MAX ? count : CMOS_VAL_MAX;

	memcpy(&rec, buf, sizeof(rec));
	append("NVPARM_SIM_RECORDS", &rec, sizeof(rec));
	at = cmos_place(rec.field, &len);
	snprintf(call, sizeof(call), "%s %u %zu", is_write ? "write" : "read", rec.field, count);

	unsigned char *val = rec.val;
	const unsigned char *sent = is_write ? val : nullptr;
	size_t sent_len = is_write ? shown : 0;

	if (!len || count != len)
		return trace(fail(EINVAL), call, sent, sent_len);
	// Past the value, and all of a read's record, must be zero.
	for (size_t i = is_write ? len : 0; i < CMOS_VAL_MAX; i++)
		if (val[i])
			return trace(fail(EINVAL), call, sent, sent_len);
	char of_field[32];
	snprintf(of_field, sizeof(of_field), "%s:%u", is_write ? "write" : "read", rec.field);
	if (fault(is_write ? "write" : "read") || fault(of_field))
		return trace(fail(EIO), call, sent, sent_len);

	int image = open_image(cmos);
	if (image < 0)
		return trace(fail(EIO), call, sent, sent_len);
	if (is_write) {
		memcpy(cmos + at, val, len);
		if (!close_image(image, cmos))
			return trace(fail(EIO), call, val, len);
		return trace((int)count, call, val, len);
	}
	close_image(image, nullptr);
	memcpy(static_cast<unsigned char *>(buf) + offsetof(cmos_cmd_t, val), cmos + at, len);
	return trace((int)count, call, cmos + at, len);
}

int request(unsigned long req, void *arg)
{
	char call[64];

	if (req == CMOS_IOC_RESET) {
		if (arg)
			return trace(fail(EINVAL), "ioctl reset");
		if (fault("ioctl"))
			return trace(fail(EIO), "ioctl reset");
		char flag[4096];
		snprintf(flag, sizeof(flag), "%s.reset-pending", getenv("NVPARM_SIM_IMAGE"));
		int fd = REAL(open)(flag, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
		if (fd < 0)
			return trace(fail(EIO), "ioctl reset");
		REAL(close)(fd);
		return trace(0, "ioctl reset");
	}
	if (req == CMOS_IOC_DUMP) {
		if (!arg)
			return trace(fail(EFAULT), "ioctl dump");
		int image = fault("ioctl") ? -1 : open_image(static_cast<unsigned char *>(arg));
		if (image < 0)
			return trace(fail(EIO), "ioctl dump");
		close_image(image, nullptr);
		return trace(0, "ioctl dump");
	}
	snprintf(call, sizeof(call), "ioctl %#lx", req);
	return trace(fail(ENOTTY), call);
}

// Not declared nonnull, unlike open's own argument: a null path passes through.
bool is_cmos_path(const char *path)
{
	return path && !strcmp(path, "/dev/cmos");
}

// The file to open in place of path: the simulated kernel command line
// for "/proc/cmdline", else path itself; nullptr when that may not open.
const char *served(const char *path)
{
	if (!path || strcmp(path, "/proc/cmdline"))
		return path;
	if (fault("cmdline")) {
		errno = ENOENT;
		return nullptr;
	}
	const char *cmdline = getenv("NVPARM_SIM_CMDLINE");
	return cmdline ? cmdline : path;
}

mode_t mode_of(int flags, va_list ap)
{
	return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
}

// A missing or empty image takes the factory bytes as the simulator loads,
// so that it holds what a new board holds before any exchange.
__attribute__((constructor)) void write_fresh_image()
{
	unsigned char cmos[CMOS_SIZE];
	int fd = getenv("NVPARM_SIM_IMAGE") ? open_image(cmos) : -1;

	if (fd < 0)
		return;
	bool fresh = lseek(fd, 0, SEEK_END) == 0;
	if (!close_image(fd, fresh ? cmos : nullptr))
		fprintf(stderr, "cmos-sim: cannot write %s\n", getenv("NVPARM_SIM_IMAGE"));
}

} // namespace

extern "C" {

// Every way of opening a path: the device, the kernel command line
// served in place, or the real call.
#define OPEN_PATH(real_call)                                                    \
	va_list ap;                                                             \
	va_start(ap, flags);                                                    \
	mode_t mode = mode_of(flags, ap);                                       \
	va_end(ap);                                                             \
	if (is_cmos_path(path))                                                 \
		return open_cmos(flags);                                        \
	if (!(path = served(path)))                                             \
		return -1;                                                      \
	return real_call;

int open(const char *path, int flags, ...)
{
	OPEN_PATH(REAL(open)(path, flags, mode))
}

int open64(const char *path, int flags, ...)
{
	OPEN_PATH(REAL(open64)(path, flags, mode))
}

int openat(int dirfd, const char *path, int flags, ...)
{
	OPEN_PATH(REAL(openat)(dirfd, path, flags, mode))
}

int openat64(int dirfd, const char *path, int flags, ...)
{
	OPEN_PATH(REAL(openat64)(dirfd, path, flags, mode))
}

// What programs built with _FORTIFY_SOURCE call in place of open.
int __open_2(const char *path, int flags)
{
	return open(path, flags);
}

int __open64_2(const char *path, int flags)
{
	return open64(path, flags);
}

int __openat_2(int dirfd, const char *path, int flags)
{
	return openat(dirfd, path, flags);
}

int __openat64_2(int dirfd, const char *path, int flags)
{
	return openat64(dirfd, path, flags);
}

FILE *fopen(const char *path, const char *mode)
{
	if (!(path = served(path)))
		return nullptr;
	return REAL(fopen)(path, mode);
}

FILE *fopen64(const char *path, const char *mode)
{
	if (!(path = served(path)))
		return nullptr;
	return REAL(fopen64)(path, mode);
}

ssize_t read(int fd, void *buf, size_t count)
{
	if (is_cmos_fd(fd))
		return exchange(false, buf, count);
	return REAL(read)(fd, buf, count);
}

ssize_t __read_chk(int fd, void *buf, size_t count, size_t)
{
	return read(fd, buf, count);
}

ssize_t write(int fd, const void *buf, size_t count)
{
	if (is_cmos_fd(fd))
		return exchange(true, const_cast<void *>(buf), count);
	return REAL(write)(fd, buf, count);
}

int ioctl(int fd, unsigned long req, ...)
{
	va_list ap;
	va_start(ap, req);
	void *arg = va_arg(ap, void *);
	va_end(ap);
	if (is_cmos_fd(fd))
		return request(req, arg);
	return REAL(ioctl)(fd, req, arg);
}

// A lock on the device holds off the other processes that lock it.
int flock(int fd, int operation)
{
	if (!is_cmos_fd(fd))
		return REAL(flock)(fd, operation);
	const char *call = operation & LOCK_EX ? "flock exclusive" : "flock shared";
	if (fault("flock"))
		return trace(fail(ENOSYS), call);
	return trace(REAL(flock)(fd, operation), call);
}

int close(int fd)
{
	if (!is_cmos_fd(fd))
		return REAL(close)(fd);
	for (int i = 0; i < cmos_open_count; i++)
		if (cmos_fds[i] == fd)
			cmos_fds[i] = cmos_fds[--cmos_open_count];
	REAL(close)(fd);
	return trace(fault("close") ? fail(EIO) : 0, "close");
}

} // extern "C"
