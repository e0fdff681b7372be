// SPDX-License-Identifier: MIT
// nvparm: read and write the boot configuration the board keeps in CMOS.
//
// Each option is carried out completely, device opened and closed, before
// the next is parsed. What boot scripts have always read goes to standard
// output: values, "Read Error", "Error: empty argument" and the offsets'
// range errors. Everything else goes to standard error: unknown keywords,
// values that cannot be parsed, "Write Error" and the like, the parser's
// complaints, and, once for each device failure, its cause.

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string_view>

#include "cmos_defs.h"
#include "cmos_intf.h"
#include "config_file.h"
#include "nvparm.h"
#include "say.h"

static const char short_options[] = "vhdRO:o:w:r:";

// The long options that have no letter.
enum { OPT_SHOW = 256, OPT_SAVE, OPT_LOAD, OPT_DIFF };

static const struct option long_options[] = {
	{"version",		no_argument,		nullptr,	'v'},
	{"help",		no_argument,		nullptr,	'h'},
	{"write",		required_argument,	nullptr,	'w'},
	{"read",		required_argument,	nullptr,	'r'},
	{"reset",		no_argument,		nullptr,	'R'},
	{"dump",		no_argument,		nullptr,	'd'},
	{"write-offset",	required_argument,	nullptr,	'O'},
	{"read-offset",		required_argument,	nullptr,	'o'},
	{"show",		no_argument,		nullptr,	OPT_SHOW},
	{"save",		no_argument,		nullptr,	OPT_SAVE},
	{"load",		required_argument,	nullptr,	OPT_LOAD},
	{"diff",		required_argument,	nullptr,	OPT_DIFF},
	{nullptr,		0,			nullptr,	0},
};

static const char help_string[] =
	"nvparm [-v] [-h] [-w <ip | mask | gw | server | last> <ip addr> |ipv6 <ipv6_addr> | ipv6_mask <prefix_len> | zcfg <0|1>] \n"
	"       [-r <ip | mask | gw | server | ipv6 | ipv6_mask | last | offset <offset> | zcfg>] [-R] [-d] \n"
	"\tCMOS access tools to access various fields in CMOS\n"
	"\tOptions:\n"
	"\t-v, --version: print version information and exit\n"
	"\t-h, --help: this help screen.\n"
	"\t-w, takes either ip, mask, gw, or server ip address as input\n"
	"\t\tand writes to CMOS\n"
	"\t-r, takes either the keyword <ip> <mask> <gw> or <server> as input\n"
	"\t\tand prints out the corresponding value in CMOS\n"
	"\t-R, resets the CMOS to factory default on next reboot\n"
	"\t-d, dump the content of CMOS";

// After the help above, which boards have always had, a line for each
// option and keyword it lacks.
static const char help_more[] =
	"\t-o, --read-offset <offset>: print the byte at 120-255\n"
	"\t-O, --write-offset <offset> <value>: write that byte\n"
	"\t-w and -r also take console <a.b> and menu <n>\n"
	"\t--show: print every field as <keyword> <value>\n"
	"\t--save: print every field and byte 120-255\n"
	"\t--load <file>: write what differs (- is stdin)\n"
	"\t--diff <file>: print what --load would change";

// The release's MAJOR.MINOR from CMake's project version: a fix release
// prints the banner of the release it fixes.
static void print_version()
{
	puts("nvparm: v. " NVPARM_VERSION);
}

static void print_help()
{
	puts(help_string);
	puts(help_more);
}

// strtol as the board's 32-bit C library does it: leading blanks and a
// sign taken, stops at the first non-digit, saturates at the int range,
// so every host converts a value the way the board would.
static int decimal(const char *text)
{
	long n = strtol(text, nullptr, 10);

	if (n > INT_MAX)
		return INT_MAX;
	if (n < INT_MIN)
		return INT_MIN;
	return (int)n;
}

// Converts one number part of at most 3 characters, ended by any of ends
// or by the end of the text, and steps past the character that ended it.
// Returns nullptr when the part is too long to be a number of the field.
static const char *scan_part(const char *text, const char *ends, int *number)
{
	char num_str[4] = {};
	size_t n = strcspn(text, ends);

	if (n >= sizeof(num_str))
		return nullptr;
	memcpy(num_str, text, n);
	*number = decimal(num_str);
	return text[n] ? text + n + 1 : text + n;
}

static void put_be32(uchar *bytes, uint32 value)
{
	bytes[0] = value >> 24;
	bytes[1] = value >> 16;
	bytes[2] = value >> 8;
	bytes[3] = value;
}

// Four dot-separated parts, each shifted into its octet and ORed in; a
// part above 255 spills into the octet above, as boot scripts have always
// seen it. Fewer than three dots before the end of the line is refused.
static bool scan_ipv4(const char *text, uchar bytes[4])
{
	uint32 ipaddr = 0;
	size_t line = strcspn(text, "\n");
	int dots = 0;

	for (size_t i = 0; i < line; i++)
		dots += text[i] == '.';
	if (dots < 3)
		return false;

	for (int shift = 24; shift >= 0; shift -= 8) {
		int part;

		text = scan_part(text, ".\n", &part);
		if (!text)
			return false;
		ipaddr |= (uint32)part << shift;
	}
	put_be32(bytes, ipaddr);
	return true;
}

// "first.second", each kept to its lowest 8 bits.
static bool scan_console(const char *text, uchar console_bytes[2])
{
	int first, second;

	if (!strchr(text, '.'))
		return false;
	text = scan_part(text, ".", &first);
	if (!text || !scan_part(text, "\n", &second))
		return false;
	console_bytes[0] = first;
	console_bytes[1] = second;
	return true;
}

// The field a keyword names, or nullptr.
static const cmos_field_t *field_named(std::string_view keyword)
{
	for (const cmos_field_t &f : cmos_fields)
		if (keyword == f.keyword)
			return &f;
	return nullptr;
}

// -w keyword value: only the keyword's text before its first space counts.
static int write_val_cmos(const char *keyword, const char *value)
{
	uchar bytes[CMOS_FIELD_MAX] = {};
	bool parsed = true;

	if (!value) {
		puts("Error: empty argument");
		return 1;
	}

	std::string_view oper_str(keyword, strcspn(keyword, " "));
	const cmos_field_t *f = field_named(oper_str);

	if (!f) {
		fprintf(stderr, "%.*s is not a valid option\n", (int)oper_str.size(), oper_str.data());
		return 1;
	}

	switch (f->form) {
	case FORM_IPV4:
		parsed = scan_ipv4(value, bytes);
		break;
	case FORM_CONSOLE:
		parsed = scan_console(value, bytes);
		break;
	case FORM_IPV6:
		parsed = inet_pton(AF_INET6, value, bytes) == 1;
		break;
	case FORM_PREFIX:
		put_be32(bytes, decimal(value));
		break;
	case FORM_MENU:
	case FORM_FLAG:
		// The lowest 8 bits of any number.
		bytes[0] = decimal(value);
		break;
	}

	if (!parsed) {
		fprintf(stderr, "Error: invalid %.*s value: %s\n", (int)oper_str.size(), oper_str.data(), value);
		return 1;
	}
	if (cmos_access_main(CMOS_WRITE, f->field, bytes) != 0) {
		say_device_failure("Write Error\n", stderr);
		return 1;
	}
	return 0;
}

// -r keyword: the keyword is taken whole; "last" is the boot server, not
// the field of that name.
static int read_val_cmos(const char *keyword)
{
	uchar bytes[CMOS_FIELD_MAX] = {};
	const cmos_field_t *f = field_named(keyword);
	int ret_val;

	if (!f) {
		fprintf(stderr, "%s is not a valid option\n", keyword);
		return 1;
	}

	if (f->field == CMOS_FIELD_LAST) {
		uint32 ipaddr = 0;

		ret_val = get_last_ip_from_cmdline(&ipaddr);
		memcpy(bytes, &ipaddr, sizeof(ipaddr));
		if (ret_val != 0) {
			puts("Read Error");
			return 1;
		}
	} else {
		ret_val = cmos_access_main(CMOS_READ, f->field, bytes);
		if (ret_val != 0) {
			say_device_failure("Read Error\n", stdout);
			return 1;
		}
	}

	switch (f->form) {
	case FORM_IPV4:
		printf("%d.%d.%d.%d\n", bytes[0], bytes[1], bytes[2], bytes[3]);
		break;
	case FORM_CONSOLE:
		printf("%x %x\n", bytes[0], bytes[1]);
		break;
	case FORM_MENU:
		printf("Menu.lst parition: hdc%d\n", bytes[0]);
		break;
	case FORM_IPV6: {
		char ipstr[100];

		puts(inet_ntop(AF_INET6, bytes, ipstr, sizeof(ipstr)));
		break;
	}
	case FORM_PREFIX:
		// Signed, as the board has always printed it: 2^31 and above come out negative.
		printf("%d\n", (int32)((uint32)bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3]));
		break;
	case FORM_FLAG:
		printf("%02x\n", bytes[0]);
		break;
	}
	return 0;
}

// The raw offset that -O or -o names, or 0 when it names none: text
// without a number does nothing, and an offset out of range is said.
static int raw_offset(const char *text, bool reading)
{
	int offset = decimal(text);

	if (offset != 0 && (offset < CMOS_RAW_FIRST || offset > CMOS_RAW_LAST)) {
		printf("Error: %soffset %d out of range\n", reading ? "Read " : "", offset);
		return 0;
	}
	return offset;
}

// -O offset value: the value's lowest 8 bits.
static int write_cmos_offset(const char *offset_text, const char *value)
{
	if (!value) {
		puts("Error: empty argument");
		return 1;
	}
	int offset = raw_offset(offset_text, false);
	uchar byte = decimal(value);

	if (!offset)
		return 1;
	if (cmos_access_main(CMOS_WRITE, offset, &byte) != 0) {
		say_device_failure("Write Error\n", stderr);
		return 1;
	}
	return 0;
}

// -o offset: the byte in decimal.
static int read_cmos_offset(const char *offset_text)
{
	int offset = raw_offset(offset_text, true);
	uchar byte = 0;

	if (!offset)
		return 1;
	if (cmos_access_main(CMOS_READ, offset, &byte) != 0) {
		say_device_failure("Read Error\n", stdout);
		return 1;
	}
	printf("%d\n", byte);
	return 0;
}

// --show, --save, --load FILE and --diff FILE each end the run: a word
// after one would go unread, so it is refused and the option not run.
static int whole_configuration(int c, int argc, char **argv)
{
	if (optind < argc) {
		const struct option *o = long_options;

		while (o->val != c)
			o++;
		say("%s: nothing may follow --%s", argv[optind], o->name);
		return c == OPT_DIFF ? 2 : 1;
	}
	switch (c) {
	case OPT_SHOW:
		return show_cmos(false);
	case OPT_SAVE:
		return show_cmos(true);
	case OPT_LOAD:
		return load_cmos(optarg);
	}
	return diff_cmos(optarg);
}

int configure(int argc, char **argv)
{
	int c;

	// A program may be started with no words at all.
	if (argc < 1)
		return 1;
	while ((c = getopt_long(argc, argv, short_options, long_options, nullptr)) != -1) {
		// -w and -O take their value from the third word, wherever they
		// stand, as it stands now: the parser moves words as it goes.
		char *value = argc > 3 ? argv[3] : nullptr;

		switch (c) {
		case 'v':
			print_version();
			return 0;
		case 'h':
			print_help();
			return 0;
		case 'w':
			write_val_cmos(optarg, value);
			break;
		case 'r':
			read_val_cmos(optarg);
			break;
		case 'R':
			if (cmos_access_main(CMOS_RESET, 0, nullptr) != 0)
				say_device_failure("Reset Error\n", stderr);
			break;
		case 'd':
			if (cmos_access_main(CMOS_DUMP, 0, nullptr) != 0)
				say_device_failure("Dump Error\n", stderr);
			break;
		case 'O':
			write_cmos_offset(optarg, value);
			break;
		case 'o':
			read_cmos_offset(optarg);
			break;
		case OPT_SHOW:
		case OPT_SAVE:
		case OPT_LOAD:
		case OPT_DIFF:
			return whole_configuration(c, argc, argv);
		default:
			// After "-x" at the end, the parser's index stands past the last word.
			fprintf(stderr, "%s: invalid argument. Use 'nvparm --help' for help.\n",
				argv[optind < argc ? optind : argc - 1]);
			return 1;
		}
	}
	return 1;
}
