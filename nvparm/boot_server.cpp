// SPDX-License-Identifier: MIT
// The boot server, from the kernel command line: the server_ip= address
// when the board booted from eobc0.

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

#include "nvparm.h"

int get_last_ip_from_cmdline(uint32 *ipaddr)
{
	static const char bootdev[] = "bootdev=eobc0";
	static const char server_ip[] = "server_ip=";
	char buf[4096];
	int err = 0;

	FILE *cmdline = fopen("/proc/cmdline", "r");
	if (!cmdline)
		return 1;

	// A line longer than one read arrives in chunks, each searched alone.
	for (;;) {
		memset(buf, 0, sizeof(buf));
		if (!fgets(buf, sizeof(buf) - 2, cmdline))
			break;
		if (!strstr(buf, bootdev))
			continue;

		char *addr = strstr(buf, server_ip);
		if (!addr) {
			err = 1;
			continue;
		}
		addr += sizeof(server_ip) - 1;
		addr[strcspn(addr, " \n")] = '\0';

		struct in_addr ipv4addr;
		if (inet_pton(AF_INET, addr, &ipv4addr) == 1) {
			memcpy(ipaddr, &ipv4addr, sizeof(*ipaddr));
			err = 0;
		} else {
			err = 1;
		}
	}
	fclose(cmdline);
	return err;
}
