// SPDX-License-Identifier: MIT
// Any command line through the real option loop and handlers, against the
// simulated driver: words are the input's NUL-separated pieces. The
// simulator aborts on any exchange the tool must never make; ASan catches
// a read past a word or past the argument vector.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#include "fuzz_io.h"
#include "nvparm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	constexpr int max_words = 64;
	char *words[max_words + 1];
	int argc = 0;

	fuzz_setup();
	words[argc++] = strdup("nvparm");
	for (size_t at = 0; at <= size && argc < max_words; argc++) {
		const uint8_t *end = static_cast<const uint8_t *>(memchr(data + at, 0, size - at));
		size_t len = (end ? end - data : size) - at;
		words[argc] = static_cast<char *>(malloc(len + 1));	// exactly the word: ASan sees past it
		memcpy(words[argc], data + at, len);
		words[argc][len] = '\0';
		at += len + 1;
	}
	// The vector itself exactly as long as it says, for the same reason.
	char **argv = static_cast<char **>(malloc((argc + 1) * sizeof(char *)));
	memcpy(argv, words, argc * sizeof(char *));
	argv[argc] = nullptr;

	optind = 0;	// a fresh parser for every command line
	capture_begin();
	configure(argc, argv);
	capture_end();

	for (int i = 0; i < argc; i++)
		free(words[i]);
	free(argv);
	return 0;
}
