// SPDX-License-Identifier: MIT
// The whole configuration as text, one "key value" a line: --show and
// --save print it; --load and --diff check a file of it line by line and,
// when every line is sound, write or print what differs. A key is a
// field's keyword or a raw offset. What a value looks like follows from
// the field's form and length in cmos_fields alone: IPv6 text, or numbers
// of equal width joined by dots (an IPv4 address is four of one byte, the
// console two, the prefix length one of four bytes).

#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "cmos_defs.h"
#include "cmos_intf.h"
#include "config_file.h"
#include "say.h"

constexpr int NAMED_KEYS = sizeof(cmos_fields) / sizeof(cmos_fields[0]);
constexpr int KEYS = NAMED_KEYS + CMOS_RAW_LAST - CMOS_RAW_FIRST + 1;

// The longest line a file may have, its newline aside.
constexpr int LINE_MAX_CHARS = 255;

// The longest file: every key once on a line of the longest length, and
// as many lines again for comments and blanks. /dev/zero ends here.
constexpr long FILE_MAX_BYTES = 2L * KEYS * (LINE_MAX_CHARS + 1);

// A value as text: IPv6's is the longest.
constexpr int VALUE_TEXT_MAX = INET6_ADDRSTRLEN;

// A key: a named field, or a raw offset, which is a number of one byte.
typedef struct cmos_key__ {
	const char *name;
	int field;
	int len;
	int parts;	// numbers joined by dots; 0 for IPv6 text
} cmos_key_t;

// A sound line of the file; once the load has run, whether it was written.
typedef struct setting__ {
	int key;
	int line;
	uchar bytes[CMOS_FIELD_MAX];
	bool written;
} setting_t;

// The sound lines in the file's order, at most one a key.
typedef struct settings__ {
	setting_t list[KEYS];
	int count;
} settings_t;

// Keys 0 to NAMED_KEYS - 1 are the named fields in table order, the raw
// offsets follow; an offset's name is written into digits.
static cmos_key_t key_at(int k, char digits[12])
{
	if (k >= NAMED_KEYS) {
		int offset = CMOS_RAW_FIRST + k - NAMED_KEYS;
		snprintf(digits, 12, "%d", offset);
		return {digits, offset, 1, 1};
	}
	const cmos_field_t &f = cmos_fields[k];
	unsigned int len;
	cmos_place(f.field, &len);
	int parts = 1;
	if (f.form == FORM_IPV4 || f.form == FORM_CONSOLE)
		parts = len;
	if (f.form == FORM_IPV6)
		parts = 0;
	return {f.keyword, f.field, (int)len, parts};
}

// The key a word names, or -1.
static int key_named(const char *word)
{
	char digits[12];

	for (int k = 0; k < KEYS; k++)
		if (!strcmp(word, key_at(k, digits).name))
			return k;
	return -1;
}

// The largest number a part of the key holds.
static unsigned long part_max(const cmos_key_t &key)
{
	int width = key.len / key.parts;
	return width == 4 ? 0xffffffffUL : (1UL << (8 * width)) - 1;
}

// The value bytes of text, or false when it is not a value of key k.
static bool parse_value(int k, const char *text, uchar *bytes)
{
	char digits[12];
	cmos_key_t key = key_at(k, digits);

	if (!key.parts)
		return inet_pton(AF_INET6, text, bytes) == 1;
	int width = key.len / key.parts;
	for (int part = 0; part < key.parts; part++) {
		unsigned long long n = 0;
		if (part > 0 && *text++ != '.')
			return false;
		const char *start = text;
		while (*text >= '0' && *text <= '9') {
			n = n * 10 + (*text++ - '0');
			if (n > part_max(key))
				return false;
		}
		if (text == start)
			return false;
		for (int i = width - 1; i >= 0; i--) {
			bytes[part * width + i] = n;
			n >>= 8;
		}
	}
	return *text == '\0';
}

// The value as --load takes it back, in text.
static const char *value_text(const cmos_key_t &key, const uchar *bytes, char text[VALUE_TEXT_MAX])
{
	if (!key.parts)
		return inet_ntop(AF_INET6, bytes, text, VALUE_TEXT_MAX);
	int width = key.len / key.parts;
	int at = 0;
	for (int part = 0; part < key.parts; part++) {
		unsigned long n = 0;
		for (int i = 0; i < width; i++)
			n = n << 8 | bytes[part * width + i];
		at += snprintf(text + at, VALUE_TEXT_MAX - at, part ? ".%lu" : "%lu", n);
	}
	return text;
}

// The device locked, or -1 when it cannot be, said on standard error.
static int lock_cmos(bool exclusive)
{
	int lock = cmos_access_lock(exclusive);

	if (lock < 0)
		say_device_cause();
	return lock;
}

int show_cmos(bool with_raw)
{
	int lock = lock_cmos(false);
	int status = 0;
	char cause[CAUSE_MAX];

	if (lock < 0)
		return 1;
	for (int k = 0; k < (with_raw ? KEYS : NAMED_KEYS); k++) {
		uchar bytes[CMOS_FIELD_MAX] = {};
		char digits[12], text[VALUE_TEXT_MAX];
		cmos_key_t key = key_at(k, digits);

		if (cmos_access_main(CMOS_READ, key.field, bytes) != 0) {
			say("%s: %s", key.name, device_cause(cause));
			status = 1;
			continue;
		}
		printf("%s %s\n", key.name, value_text(key, bytes, text));
	}
	cmos_access_unlock(lock);
	if (!stdout_flushed())
		status = 1;
	return status;
}

enum { END_OF_FILE = -1, NOT_TEXT = -2, TOO_LONG = -3 };

// Reads one line, without its newline, into line, and counts its bytes
// against what the file may still hold. Returns its length, END_OF_FILE,
// NOT_TEXT when it does not fit or holds a NUL byte (the whole of such a
// line is read, so that it is one faulty line), or TOO_LONG when the file
// goes past its bound.
static int read_line(FILE *in, char *line, int size, long *left)
{
	int len = 0;
	int c;
	bool text = true;

	while ((c = getc(in)) != EOF && (*left)-- > 0 && c != '\n') {
		if (c == '\0' || len + 1 == size)
			text = false;
		else
			line[len++] = c;
	}
	line[len] = '\0';
	if (*left < 0)
		return TOO_LONG;
	if (c == EOF && len == 0 && text)
		return END_OF_FILE;
	return text ? len : NOT_TEXT;
}

// A value that is not one of the key's: what it should have been.
static void say_not_a_value(const char *path, int line, int k, const char *value)
{
	char digits[12];
	cmos_key_t key = key_at(k, digits);

	if (!key.parts)
		say("%s:%d: %s: %s is not an IPv6 address", path, line, key.name, value);
	else if (key.parts == 1)
		say("%s:%d: %s: %s is not a whole number of 0 to %lu", path, line, key.name, value, part_max(key));
	else
		say("%s:%d: %s: %s is not %d numbers of 0 to 255 joined by dots", path, line, key.name, value,
		    key.parts);
}

// The line that gave key before, or 0.
static int line_of(const settings_t *settings, int k)
{
	for (int i = 0; i < settings->count; i++)
		if (settings->list[i].key == k)
			return settings->list[i].line;
	return 0;
}

// Checks every line of in, keeping each sound one in settings; says what
// is wrong with every other line. Returns how many were faulty.
static int read_settings(FILE *in, const char *path, settings_t *settings)
{
	static const char blanks[] = " \t\r\v\f";
	static const char byte_order_mark[] = "\xef\xbb\xbf";
	char line[LINE_MAX_CHARS + 1];
	long left = FILE_MAX_BYTES;
	int faults = 0;

	for (int n = 1;; n++) {
		int len = read_line(in, line, sizeof(line), &left);
		if (len == END_OF_FILE && ferror(in)) {
			say("%s: %s", path, strerror(errno));
			return faults + 1;
		}
		if (len == END_OF_FILE)
			break;
		if (len == TOO_LONG) {
			say("%s: longer than the %ld bytes a settings file may have", path, FILE_MAX_BYTES);
			return faults + 1;
		}
		if (len == NOT_TEXT) {
			say("%s:%d: not a line of at most %d characters of text", path, n, LINE_MAX_CHARS);
			faults++;
			continue;
		}
		// What editors that write UTF-8 put first.
		char *text = line;
		if (n == 1 && !strncmp(text, byte_order_mark, 3))
			text += 3;
		text[strcspn(text, "#")] = '\0';
		char *word = strtok(text, blanks);
		char *value = strtok(nullptr, blanks);
		char *extra = strtok(nullptr, blanks);
		if (!word)
			continue;
		int k = key_named(word);
		uchar bytes[CMOS_FIELD_MAX] = {};

		if (k < 0) {
			say("%s:%d: %s is not a keyword or an offset from %d to %d%s", path, n, word,
				  CMOS_RAW_FIRST, CMOS_RAW_LAST,
				  strchr(word, '=') ? "; a blank separates a key and its value" : "");
		} else if (!value) {
			say("%s:%d: %s has no value", path, n, word);
		} else if (extra) {
			say("%s:%d: %s: more than one value: %s %s", path, n, word, value, extra);
		} else if (!parse_value(k, value, bytes)) {
			say_not_a_value(path, n, k, value);
		} else if (line_of(settings, k)) {
			say("%s:%d: %s given again, first on line %d", path, n, word, line_of(settings, k));
		} else {
			// A new key: the list has room for every key once.
			setting_t *s = &settings->list[settings->count++];
			s->key = k;
			s->line = n;
			memcpy(s->bytes, bytes, sizeof(bytes));
			continue;
		}
		faults++;
	}
	return faults;
}

// A device failure stops the load or the diff: what failed, why, and for
// a load what was already written.
static void say_stopped(const char *path, const settings_t *settings, int failed, const char *what, bool load)
{
	char digits[12], cause[CAUSE_MAX];
	// Each name and its blank fit in the room of a keyword.
	char written[KEYS * sizeof(cmos_fields[0].keyword)];
	const setting_t *s = &settings->list[failed];
	int at = 0;

	for (int i = 0; i < failed; i++)
		if (settings->list[i].written)
			at += snprintf(written + at, sizeof(written) - at, " %s", key_at(settings->list[i].key, digits).name);
	const char *before = at ? written : " nothing";

	say("%s:%d: %s not %s: %s%s%s", path, s->line, key_at(s->key, digits).name, what, device_cause(cause),
	    load ? "; written before it:" : "", load ? before : "");
}

// Reads each key given, in the file's order, under the lock; where the
// CMOS holds another value, writes the file's (a load) or prints both (a
// diff). Returns how many keys differ, or -1 after a device failure.
static int apply_settings(const char *path, settings_t *settings, bool load)
{
	int lock = lock_cmos(load);
	int differ = 0;

	if (lock < 0)
		return -1;
	for (int i = 0; i < settings->count; i++) {
		setting_t *s = &settings->list[i];
		uchar now[CMOS_FIELD_MAX] = {};
		char digits[12], stored[VALUE_TEXT_MAX], wanted[VALUE_TEXT_MAX];
		cmos_key_t key = key_at(s->key, digits);
		const char *failed = nullptr;

		if (cmos_access_main(CMOS_READ, key.field, now) != 0) {
			failed = "read";
		} else if (!memcmp(now, s->bytes, key.len)) {
			continue;
		} else if (load) {
			if (cmos_access_main(CMOS_WRITE, key.field, s->bytes) != 0)
				failed = "written";
			s->written = !failed;
		} else {
			printf("%s %s -> %s\n", key.name, value_text(key, now, stored), value_text(key, s->bytes, wanted));
		}
		differ++;
		if (failed) {
			say_stopped(path, settings, i, failed, load);
			cmos_access_unlock(lock);
			return -1;
		}
	}
	cmos_access_unlock(lock);
	return differ;
}

// Checks every line of the file, then reads each key given and writes it
// (a load) or prints it (a diff) where it differs. Returns how many keys
// differ, or -1 when the file cannot be read, a line is faulty or the
// device failed, each said.
static int apply_file(const char *path, bool load)
{
	settings_t settings = {};
	// Standard input is read through a stream of its own, closed as a
	// file's is; fd 0 stays open.
	FILE *in = strcmp(path, "-") ? fopen(path, "r") : fdopen(dup(0), "r");

	if (!in) {
		say("%s: %s", path, strerror(errno));
		return -1;
	}
	int faults = read_settings(in, path, &settings);
	fclose(in);
	if (faults)
		return -1;
	return apply_settings(path, &settings, load);
}

int load_cmos(const char *path)
{
	return apply_file(path, true) < 0;
}

int diff_cmos(const char *path)
{
	int differ = apply_file(path, false);

	if (!stdout_flushed() || differ < 0)
		return 2;
	return differ > 0;
}
