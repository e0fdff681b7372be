// SPDX-License-Identifier: MIT
// Carries out the tool-level cases (tests/cases/*.cases) against the
// simulated CMOS on the desk, natively or under an emulator, and against
// the driver's store on the emulated board. A failing case is printed with
// what was expected and what came; the last line counts them.
//
//   runner [--board STORE] [--env VAR=VALUE]... CASES... -- COMMAND...
//
// COMMAND runs the tool, named "nvparm" when it is one word, with the
// variables given set for it alone. On the desk each case gets a scratch
// image, trace and kernel command line through the simulator's settings;
// on the board, cases that need the simulator are skipped.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cmos_layout.h"

// A case: where it stands, its arguments, and its expectations by name;
// out, err, before and after gather every line given.
struct Case {
	std::string where;
	std::vector<std::string> args;
	std::map<std::string, std::string> want;
};

static std::string store, dir;
static std::vector<char *> settings;

static std::string slurp(const std::string &path)
{
	std::stringstream s;
	s << std::ifstream(path, std::ios::binary).rdbuf();
	return s.str();
}

// \t and \n, as in C.
static std::string unescape(const std::string &t)
{
	std::string s;
	for (size_t i = 0; i < t.size(); i++)
		s += t[i] != '\\' || i + 1 == t.size() ? t[i] : t[++i] == 't' ? '\t' : t[i] == 'n' ? '\n' : t[i];
	return s;
}

// One expectation, "NAME TEXT"; "out <FILE" takes a file beside the case's.
static void expect(Case &c, const std::string &item, const std::string &path)
{
	size_t sep = item.find(' ');
	std::string name = item.substr(0, sep), text = sep == std::string::npos ? "" : item.substr(sep + 1);
	if ((name == "out" || name == "err") && text[0] == '<')
		text = slurp(path.substr(0, path.rfind('/') + 1) + text.substr(1));
	else if (name != "trace")
		text = unescape(text) + (name == "out" || name == "err" || name == "before" || name == "after" ? "\n" : "");
	c.want[name] += text;
}

// A case is "nvparm ARG... [| EXPECTATION]...", more expectations indented
// on the lines below it.
static void parse(const std::string &path, std::vector<Case> &cases)
{
	std::ifstream in(path);
	std::string line;
	for (int n = 1; std::getline(in, line); n++) {
		size_t key = line.find_first_not_of(' '), bar = line.find(" | ");
		if (key == std::string::npos || line[key] == '#') {
			continue;
		} else if (key) {
			expect(cases.back(), line.substr(key), path);
			continue;
		}
		cases.push_back({path.substr(path.rfind('/') + 1) + ":" + std::to_string(n) + ": " + line, {}, {}});
		for (size_t next; bar != std::string::npos; bar = next)
			next = line.find(" | ", bar + 3), expect(cases.back(), line.substr(bar + 3, next - bar - 3), path);
		// Words split at blanks; 'quoted words' keep theirs, '' is an empty word.
		std::string word;
		bool quoted = false, any = false;
		for (char ch : line.substr(6, line.find(" | ") - 6) + " ") {
			if (ch == '\'')
				quoted = !quoted, any = true;
			else if (ch != ' ' || quoted)
				word += ch;
			else if (any || !word.empty())
				cases.back().args.push_back(unescape(word)), word.clear(), any = false;
		}
	}
}

// The factory defaults with the case's "AT HEX" lines over them.
static std::string cmos(const std::string &patches)
{
	std::string bytes(CMOS_SIZE, '\0'), hex;
	cmos_factory_defaults(reinterpret_cast<unsigned char *>(&bytes[0]));
	std::istringstream lines(patches);
	for (size_t at; lines >> at >> hex;)
		for (size_t i = 0; i + 1 < hex.size(); i += 2)
			bytes.at(at + i / 2) = (char)strtol(hex.substr(i, 2).c_str(), nullptr, 16);
	return bytes;
}

// The tool's standard descriptor fd: "closed", "full", "broken-pipe" or a file.
static bool redirect(int fd, const std::string &how, int broken_pipe)
{
	if (how == "closed")
		return close(fd), true;
	if (how == "broken-pipe")
		signal(SIGPIPE, SIG_IGN);
	int to = how == "broken-pipe" ? broken_pipe : how == "full" ? open("/dev/full", O_WRONLY) :
		 fd == 0 ? open("/dev/null", O_RDONLY) :
		 open((dir + (fd == 1 ? "/out" : "/err")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	return to >= 0 && dup2(to, fd) == fd && (to == fd || to == broken_pipe || close(to) == 0);
}

static int run(Case &c, const char *program, std::vector<char *> argv)
{
	for (const auto &a : c.args)
		argv.push_back(const_cast<char *>(a.c_str()));
	argv.push_back(nullptr);
	int ends[2], status = -1;
	if (pipe(ends) < 0)
		return -1;
	close(ends[0]);	// a broken pipe's reader is gone before the tool starts
	pid_t pid = fork();
	if (pid == 0) {
		for (char *setting : settings)
			putenv(setting);
		if (store.empty())
			setenv("NVPARM_SIM_FAIL", c.want["fail"].c_str(), 1);
		for (int fd = 0; fd < 3; fd++)
			if (!redirect(fd, c.want[fd == 0 ? "stdin" : fd == 1 ? "stdout" : "stderr"], ends[1]))
				_exit(126);
		execv(program, argv.data());
		_exit(127);
	}
	close(ends[1]);
	waitpid(pid, &status, 0);
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

static void compare(std::string &why, const char *what, const std::string &expected, const std::string &got)
{
	if (expected != got)
		why += std::string("  ") + what + ": expected \"" + expected + "\", got \"" + got + "\"\n";
}

// 1 when the case passed, 0 when it failed, -1 when it needs the simulator.
static int check(Case &c, const char *program, const std::vector<char *> &argv)
{
	if (!store.empty() && (c.want.count("fail") || c.want.count("cmdline")))
		return -1;
	std::string path = store.empty() ? dir + "/cmos.img" : store;
	std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << cmos(c.want["before"]);
	std::ofstream(dir + "/cmdline") << (c.want.count("cmdline") ? c.want["cmdline"] : "bootdev=eobc0 server_ip=10.9.8.7\n");
	unlink((dir + "/trace").c_str());

	int status = run(c, program, argv);
	std::string why, trace = slurp(dir + "/trace");
	compare(why, "stdout", c.want["out"], c.want["stdout"].empty() ? slurp(dir + "/out") : "");
	compare(why, "stderr", c.want["err"], c.want["stderr"].empty() ? slurp(dir + "/err") : "");
	compare(why, "exit", c.want.count("exit") ? c.want["exit"] : "1", std::to_string(status));
	for (size_t nl; (nl = trace.find('\n')) != std::string::npos;)
		trace.replace(nl, 1, nl + 1 < trace.size() ? "; " : "");
	if (store.empty() && c.want.count("trace"))
		compare(why, "trace", c.want["trace"], trace);
	std::string expected = cmos(c.want["before"] + c.want["after"]), left = slurp(path).substr(0, CMOS_SIZE);
	for (size_t at = 0; at < CMOS_SIZE && left != expected; at++)
		if (left[at] != expected[at])
			why += "  cmos: byte " + std::to_string(at) + " is not as expected\n", at = CMOS_SIZE;
	if (!why.empty())
		printf("FAIL %s\n%s", c.where.c_str(), why.c_str());
	fflush(stdout);
	return why.empty();
}

int main(int argc, char **argv)
{
	char tmpl[] = "/tmp/nvparm-cases.XXXXXX", name[] = "nvparm";
	int i = 1, count[3] = {};
	for (; i + 1 < argc && (!strcmp(argv[i], "--board") || !strcmp(argv[i], "--env")); i += 2) {
		if (!strcmp(argv[i], "--board"))
			store = argv[i + 1];
		else
			settings.push_back(argv[i + 1]);
	}
	int files = i;
	while (i < argc && strcmp(argv[i], "--"))
		i++;
	std::vector<char *> command(argv + (i < argc ? i + 1 : argc), argv + argc);
	if (command.empty() || !mkdtemp(tmpl))
		return fprintf(stderr, "usage: runner [--board STORE] [--env VAR=VALUE]... CASES... -- COMMAND...\n"), 2;
	dir = tmpl;
	std::ofstream(dir + "/cmos.img").close();
	std::string sim[] = {"NVPARM_SIM_IMAGE=" + dir + "/cmos.img", "NVPARM_SIM_TRACE=" + dir + "/trace",
			     "NVPARM_SIM_CMDLINE=" + dir + "/cmdline"};
	for (auto &setting : sim)
		if (store.empty())
			settings.push_back(&setting[0]);
	if (command.size() == 1)
		command[0] = name;
	for (; files < i; files++) {
		std::vector<Case> cases;
		parse(argv[files], cases);
		for (auto &c : cases)
			count[check(c, argv[i + 1], command) + 1]++;
	}
	for (const char *file : {"/cmos.img", "/cmos.img.reset-pending", "/trace", "/cmdline", "/out", "/err"})
		unlink((dir + file).c_str());
	rmdir(tmpl);
	if (count[0])
		printf("%d cases need the simulator: skipped\n", count[0]);
	printf("%d passed, %d failed\n", count[2], count[1]);
	return count[1] != 0;
}
