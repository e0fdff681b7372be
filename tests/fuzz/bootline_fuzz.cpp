// SPDX-License-Identifier: MIT
// The boot-server lookup over any kernel command line: long lines, lines
// cut at the buffer's edge, no newline, NUL bytes. An address it reports
// must stand in the text after "server_ip=", whatever the result.
#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fuzz_io.h"
#include "nvparm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	fuzz_setup();
	FILE *cmdline = fopen(fuzz_cmdline_path(), "w");
	if (!cmdline || fwrite(data, 1, size, cmdline) != size || fclose(cmdline))
		abort();

	uint32 ipaddr = 0;
	int result = get_last_ip_from_cmdline(&ipaddr);
	if (result != 0 && result != 1)
		abort();
	if (ipaddr) {
		char text[INET_ADDRSTRLEN + 16] = "server_ip=";
		inet_ntop(AF_INET, &ipaddr, text + 10, INET_ADDRSTRLEN);
		std::string_view all(reinterpret_cast<const char *>(data), size);
		if (all.find(text) == std::string_view::npos) {
			fprintf(stderr, "reported %s (result %d) for a line without it\n", text, result);
			abort();
		}
	}
	return 0;
}
