// SPDX-License-Identifier: MIT
/*
 * The least program that links the C library functions nvparm links and
 * makes the exchange of "nvparm -r ip", its standard streams checked as
 * nvparm checks them: what the footprint, syscall and startup benchmarks
 * hold nvparm against.
 */
#include <arpa/inet.h>
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
	static const struct option options[] = {
		{"read", required_argument, NULL, 'r'},
		{"write", required_argument, NULL, 'w'},
		{"dump", no_argument, NULL, 'd'},
		{NULL, 0, NULL, 0},
	};
	unsigned char record[132] = {0};
	unsigned char cmos[256];
	char text[100];
	unsigned int field = 1;
	struct pollfd std_fds[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
	int c, fd;

	if (poll(std_fds, 3, 0) < 0)
		return 1;
	while ((c = getopt_long(argc, argv, "r:w:d", options, NULL)) != -1) {
		fd = open("/dev/cmos", O_RDWR);
		if (fd < 0)
			return 1;
		memcpy(record, &field, sizeof(field));
		if (c == 'r' && read(fd, record, 4) >= 0) {
			printf("%d.%d.%d.%d\n", record[4], record[5], record[6], record[7]);
		} else if (c == 'w' && argc > 3) {
			field = strtol(optarg, NULL, 10);
			inet_pton(AF_INET, argv[3], record + 4);
			write(fd, record, 4);
		} else if (c == 'd' && ioctl(fd, 0x80016302UL, cmos) >= 0) {
			FILE *cmdline = fopen("/proc/cmdline", "r");
			if (cmdline && fgets(text, sizeof(text), cmdline))
				puts(inet_ntop(AF_INET6, cmos, text, sizeof(text)));
		}
		close(fd);
	}
	return 1;
}
