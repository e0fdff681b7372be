// SPDX-License-Identifier: MIT
// The libFuzzer target, with the simulator compiled in; it aborts on any
// exchange the tool must never make. The input's NUL-separated words are a
// kernel command line, which is also the standard input "--load -" and
// "--diff -" read, then nvparm's arguments through the real option loop,
// each word and the vector allocated to its size, so that ASan sees a read
// past either, in the option loop, the boot-server lookup or the file
// reader. "-w KEYWORD VALUE" must write once and say nothing, or write
// nothing and say why on stderr; "--diff FILE" must never write.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <getopt.h>
#include <string>
#include <unistd.h>

#include "nvparm.h"

static int device_writes;

extern "C" void cmos_sim_observe(const char *line)
{
	device_writes += !strncmp(line, "write ", 6);
	if (strstr(line, "!EINVAL") || strstr(line, "!ENOTTY") || strstr(line, "!EFAULT") || strstr(line, "stream")) {
		fprintf(stderr, "refused by the driver: %s\n", line);
		abort();
	}
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

static char out[1 << 16], err[1 << 16];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// The first word is the kernel command line "-r last" reads.
	const uint8_t *first_end = (const uint8_t *)memchr(data, 0, size);
	size_t at = first_end ? first_end - data + 1 : size + 1;
	FILE *cmdline = fopen(getenv("NVPARM_SIM_CMDLINE"), "w");
	if (!cmdline || fwrite(data, 1, at - 1, cmdline) != at - 1 || fclose(cmdline))
		abort();
	char *argv[66] = {strdup("nvparm")};
	int argc = 1;
	for (; at <= size && argc < 65; argc++) {
		const uint8_t *end = (const uint8_t *)memchr(data + at, 0, size - at);
		size_t len = (end ? end - data : size) - at;
		argv[argc] = (char *)memcpy(malloc(len + 1), data + at, len);
		argv[argc][len] = '\0';
		at += len + 1;
	}
	char **words = (char **)memcpy(malloc((argc + 1) * sizeof(char *)), argv, (argc + 1) * sizeof(char *));

	// What is read comes from the first word, the kernel command line's
	// file; what is printed goes to memory, one byte short so that it ends
	// in a NUL.
	int in = open(getenv("NVPARM_SIM_CMDLINE"), O_RDONLY);
	if (in < 0 || dup2(in, 0) != 0 || close(in))
		abort();
	FILE *real_stdout = stdout, *real_stderr = stderr;
	out[0] = err[0] = '\0';
	stdout = fmemopen(out, sizeof(out) - 1, "w");
	stderr = fmemopen(err, sizeof(err) - 1, "w");
	device_writes = 0;
	optind = 0;
	configure(argc, words);
	fclose(stdout);
	fclose(stderr);
	stdout = real_stdout;
	stderr = real_stderr;

	if (argc == 4 && !strcmp(argv[1], "-w") && argv[3][0] != '-' && (device_writes + !!err[0] != 1 || out[0])) {
		fprintf(stderr, "-w '%s' '%s': %d writes, stdout '%s', stderr '%s'\n", argv[2], argv[3],
			device_writes, out, err);
		abort();
	}
	if (argc == 3 && !strcmp(argv[1], "--diff") && device_writes) {
		fprintf(stderr, "--diff '%s': %d writes\n", argv[2], device_writes);
		abort();
	}
	for (int i = 0; i < argc; i++)
		free(argv[i]);
	free(words);
	return 0;
}
