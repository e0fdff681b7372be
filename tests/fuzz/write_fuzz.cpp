// SPDX-License-Identifier: MIT
// "nvparm -w keyword value" for any keyword and value (split at the
// input's first NUL): the tool either writes once and says nothing, or
// writes nothing and says why on standard error; never both, never neither.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#include "fuzz_io.h"
#include "nvparm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const uint8_t *nul = static_cast<const uint8_t *>(memchr(data, 0, size));
	if (!nul)
		return 0;
	size_t keyword_len = nul - data;
	size_t value_len = size - keyword_len - 1;
	// A value starting with '-' is parsed as further options: cmdline_fuzz covers those.
	if (value_len && nul[1] == '-')
		return 0;

	fuzz_setup();
	char *keyword = strndup(reinterpret_cast<const char *>(data), keyword_len);
	char *value = static_cast<char *>(malloc(value_len + 1));
	memcpy(value, nul + 1, value_len);
	value[value_len] = '\0';
	char program[] = "nvparm", option[] = "-w";
	char *argv[] = {program, option, keyword, value, nullptr};

	optind = 0;
	capture_begin();
	configure(4, argv);
	capture_end();

	bool complained = captured_err[0] != '\0';
	if (device_writes + complained != 1 || captured_out[0] != '\0') {
		fprintf(stderr, "keyword '%s' value '%s': %d writes, stdout '%s', stderr '%s'\n",
			keyword, value, device_writes, captured_out, captured_err);
		abort();
	}
	free(keyword);
	free(value);
	return 0;
}
