// SPDX-License-Identifier: MIT
// libFuzzer targets, with the simulator compiled in; it aborts on any
// exchange the tool must never make.
//   cmdline   the input's NUL-separated words through the real option loop,
//             each word and the vector allocated to its size, so that ASan
//             sees a read past either. "-w KEYWORD VALUE" must write once
//             and say nothing, or write nothing and say why on stderr.
//   bootline  the boot-server lookup over any kernel command line: an
//             address it reports must stand in the text after server_ip=.
#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <string_view>

#include "nvparm.h"

static int device_writes;

extern "C" void cmos_sim_observe(const char *line)
{
	device_writes += !strncmp(line, "write ", 6);
	if (strstr(line, "!EINVAL") || strstr(line, "!ENOTTY") || strstr(line, "!EFAULT") || strstr(line, "stream"))
		fprintf(stderr, "refused by the driver: %s\n", line), abort();
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	static char dir[] = "/tmp/nvparm-fuzz.XXXXXX";
	if (!mkdtemp(dir))
		abort();
	setenv("NVPARM_SIM_IMAGE", (std::string(dir) + "/cmos.img").c_str(), 1);
	setenv("NVPARM_SIM_CMDLINE", (std::string(dir) + "/cmdline").c_str(), 1);
	return 0;
}

#ifdef FUZZ_BOOTLINE
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	FILE *cmdline = fopen(getenv("NVPARM_SIM_CMDLINE"), "w");
	if (!cmdline || fwrite(data, 1, size, cmdline) != size || fclose(cmdline))
		abort();
	uint32 ipaddr = 0;
	int result = get_last_ip_from_cmdline(&ipaddr);
	char text[INET_ADDRSTRLEN + 16] = "server_ip=";
	inet_ntop(AF_INET, &ipaddr, text + 10, INET_ADDRSTRLEN);
	if ((result != 0 && result != 1) ||
	    (ipaddr && std::string_view((const char *)data, size).find(text) == std::string_view::npos))
		fprintf(stderr, "reported %s (result %d) for a line without it\n", text, result), abort();
	return 0;
}
#else
static char out[1 << 16], err[1 << 16];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	char *argv[66] = {strdup("nvparm")};
	int argc = 1;
	for (size_t at = 0; at <= size && argc < 65; argc++) {
		const uint8_t *end = (const uint8_t *)memchr(data + at, 0, size - at);
		size_t len = (end ? end - data : size) - at;
		argv[argc] = (char *)memcpy(malloc(len + 1), data + at, len);
		argv[argc][len] = '\0';
		at += len + 1;
	}
	char **words = (char **)memcpy(malloc((argc + 1) * sizeof(char *)), argv, (argc + 1) * sizeof(char *));

	// What is printed goes to memory, one byte short so that it ends in a NUL.
	FILE *real_stdout = stdout, *real_stderr = stderr;
	out[0] = err[0] = '\0';
	stdout = fmemopen(out, sizeof(out) - 1, "w");
	stderr = fmemopen(err, sizeof(err) - 1, "w");
	device_writes = 0;
	optind = 0;
	configure(argc, words);
	fclose(stdout);
	fclose(stderr);
	stdout = real_stdout, stderr = real_stderr;

	if (argc == 4 && !strcmp(argv[1], "-w") && argv[3][0] != '-' && (device_writes + !!err[0] != 1 || out[0]))
		fprintf(stderr, "-w '%s' '%s': %d writes, stdout '%s', stderr '%s'\n", argv[2], argv[3],
			device_writes, out, err), abort();
	for (int i = 0; i < argc; i++)
		free(argv[i]);
	free(words);
	return 0;
}
#endif
