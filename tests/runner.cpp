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
#include <cctype>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cmos_layout.h"

// A case: where it stands, the command and its arguments, the folder it
// runs in (its file's), and its expectations by name; out, err, before,
// after and input gather a line each.
struct Case {
	std::string where;
	std::vector<std::string> argv;
	std::string folder;
	std::map<std::string, std::string> want;
};

enum Result { SKIPPED, FAILED, PASSED };

// The expectations' names: those that gather a line each time, and the others.
static const std::set<std::string> line_names = {"out", "err", "before", "after", "input"};
static const std::set<std::string> once_names = {"trace", "exit", "fail", "cmdline", "stdin", "stdout", "stderr"};
static std::string store;	// the board's store; empty on the desk
static std::string dir;		// the scratch folder
static std::vector<std::string> settings, command;
static const char *program;

static std::string slurp(const std::string &path)
{
	std::stringstream text;
	text << std::ifstream(path, std::ios::binary).rdbuf();
	return text.str();
}

// \t, \n, \s (a blank) and \xHH (any byte); a backslash keeps any other
// character as it is.
static std::string unescape(const std::string &s)
{
	const std::string codes = "tns", chars = "\t\n ";
	std::string out = s;
	for (size_t at = out.find('\\'); at != std::string::npos && at + 1 < out.size(); at = out.find('\\', at + 1)) {
		out.erase(at, 1);
		if (out[at] == 'x' && at + 2 < out.size() && isxdigit(out[at + 1]) && isxdigit(out[at + 2]))
			out.replace(at, 3, 1, (char)std::stoi(out.substr(at + 1, 2), nullptr, 16));
		else if (codes.find(out[at]) != std::string::npos)
			out[at] = chars[codes.find(out[at])];
	}
	return out;
}

// One expectation, "NAME TEXT"; "out <FILE" and the like take a file in
// folder. False when NAME is no expectation's.
static bool expect(Case &c, const std::string &item, const std::string &folder)
{
	size_t space = item.find(' ');
	std::string name = item.substr(0, space);
	std::string text;
	if (space != std::string::npos)
		text = unescape(item.substr(space + 1));
	bool line = line_names.count(name);
	if (!line && !once_names.count(name))
		return false;
	if (line && text[0] == '<')
		text = slurp(folder + text.substr(1));
	else if (line)
		text += "\n";
	c.want[name] += text;
	return true;
}

// A case is "nvparm ARG... [| EXPECTATION]...", more expectations indented
// on the lines below it, one a line. Arguments are split at blanks; ''
// is an empty one. Any other line fails the file.
static bool parse(const std::string &path, std::vector<Case> &cases)
{
	std::ifstream in(path);
	std::string folder = path.substr(0, path.rfind('/') + 1), line, word;
	bool ok = in.is_open();
	if (!ok)
		printf("FAIL %s: cannot be read\n", path.c_str());
	for (int n = 1; ok && std::getline(in, line); n++) {
		size_t start = line.find_first_not_of(' '), bar = line.find(" | ");
		if (start == std::string::npos || line[start] == '#')
			continue;
		if (start > 0) {
			ok = !cases.empty() && expect(cases.back(), line.substr(start), folder);
		} else {
			std::istringstream words(line.substr(0, bar));
			ok = words >> word && word == "nvparm";
			cases.push_back({path.substr(folder.size()) + ":" + std::to_string(n) + ": " + line, command,
					 folder.empty() ? "." : folder, {}});
			while (words >> word) {
				if (word == "''")
					word = "";
				cases.back().argv.push_back(unescape(word));
			}
		}
		// The first line's expectations, each after " | ".
		while (ok && start == 0 && bar != std::string::npos) {
			size_t next = line.find(" | ", bar + 3);
			ok = expect(cases.back(), line.substr(bar + 3, next - bar - 3), folder);
			bar = next;
		}
		if (!ok)
			printf("FAIL %s:%d: %s\n  not a case (\"nvparm ARG... | NAME TEXT...\") nor an expectation of one\n",
			       path.c_str(), n, line.c_str());
	}
	return ok;
}

// The factory defaults with the case's "AT HEX" lines over them.
static std::string cmos(const std::string &patches)
{
	std::string bytes(CMOS_SIZE, '\0'), hex;
	cmos_factory_defaults(reinterpret_cast<unsigned char *>(&bytes[0]));
	std::istringstream lines(patches);
	size_t at;
	while (lines >> at >> hex)
		for (size_t i = 0; i + 1 < hex.size(); i += 2)
			bytes.at(at + i / 2) = (char)std::stoi(hex.substr(i, 2), nullptr, 16);
	return bytes;
}

// The tool's descriptor fd as the case has it: "closed", "full",
// "broken-pipe", "kept" (standard output kept for the next case to read as
// its input), or by default a file of the scratch folder: the case's input,
// what it prints.
static bool redirect(int fd, const std::string &how)
{
	int to = -1, ends[2];
	std::string file[] = {dir + "/in", dir + "/out", dir + "/err"};
	if (how == "closed")
		return close(fd) == 0;
	if (how == "broken-pipe" && pipe(ends) == 0) {
		signal(SIGPIPE, SIG_IGN);
		close(ends[0]);	// the reader is gone before the tool starts
		to = ends[1];
	} else if (how == "full") {
		to = open("/dev/full", O_WRONLY);
	} else if (how.empty() || how == "kept") {
		std::string path = how.empty() ? file[fd] : dir + "/kept";
		to = open(path.c_str(), fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0644);
	}
	return to >= 0 && dup2(to, fd) == fd && (to == fd || close(to) == 0);
}

// Runs the case; its exit status, or 128 and the signal that ended it.
static int run(Case &c)
{
	std::vector<char *> argv;
	for (const std::string &word : c.argv)
		argv.push_back(const_cast<char *>(word.c_str()));
	argv.push_back(nullptr);
	int status = -1;
	pid_t pid = fork();
	if (pid == 0) {
		for (std::string &setting : settings)
			putenv(&setting[0]);
		if (store.empty())
			setenv("NVPARM_SIM_FAIL", c.want["fail"].c_str(), 1);
		bool ready = chdir(c.folder.c_str()) == 0;
		ready = ready && redirect(0, c.want["stdin"]);
		ready = ready && redirect(1, c.want["stdout"]);
		ready = ready && redirect(2, c.want["stderr"]);
		if (ready)
			execv(program, argv.data());
		_exit(127);
	}
	waitpid(pid, &status, 0);
	if (WIFSIGNALED(status))
		return 128 + WTERMSIG(status);
	return WEXITSTATUS(status);
}

static Result check(Case &c)
{
	bool board = !store.empty();
	if (board && (c.want.count("fail") || c.want.count("cmdline")))
		return SKIPPED;
	std::string image = board ? store : dir + "/cmos.img";
	std::fstream(image, std::ios::in | std::ios::out | std::ios::binary) << cmos(c.want["before"]);
	c.want.emplace("cmdline", "bootdev=eobc0 server_ip=10.9.8.7\n");	// the board's
	c.want.emplace("exit", "1");
	std::ofstream(dir + "/cmdline") << c.want["cmdline"];
	std::ofstream(dir + "/in") << c.want["input"];
	for (const char *file : {"/trace", "/out", "/err"})
		unlink((dir + file).c_str());

	std::map<std::string, std::string> got = {{"exit", std::to_string(run(c))},
						  {"out", slurp(dir + "/out")}, {"err", slurp(dir + "/err")}};
	// The simulator's trace, one call a line, against "CALL; CALL...".
	if (!board && c.want.count("trace")) {
		std::string calls = c.want["trace"];
		for (size_t at = calls.find("; "); at != std::string::npos; at = calls.find("; ", at))
			calls.replace(at, 2, "\n");
		if (!calls.empty())
			calls += "\n";
		c.want["trace"] = calls;
		got["trace"] = slurp(dir + "/trace");
	}
	std::string why;
	for (const auto &item : got)
		if (c.want[item.first] != item.second)
			why += "  " + item.first + ": expected \"" + c.want[item.first] + "\", got \"" + item.second + "\"\n";
	if (slurp(image).substr(0, CMOS_SIZE) != cmos(c.want["before"] + c.want["after"]))
		why += "  cmos: not as expected\n";
	if (!why.empty())
		printf("FAIL %s\n%s", c.where.c_str(), why.c_str());
	fflush(stdout);
	return why.empty() ? PASSED : FAILED;
}

int main(int argc, char **argv)
{
	int i = 1;
	for (; i + 1 < argc && !strcmp(argv[i], "--board"); i += 2)
		store = argv[i + 1];
	for (; i + 1 < argc && !strcmp(argv[i], "--env"); i += 2)
		settings.push_back(argv[i + 1]);
	int first = i;
	while (i < argc && strcmp(argv[i], "--"))
		i++;
	char tmpl[] = "/tmp/nvparm-cases.XXXXXX";
	if (i + 1 >= argc || !mkdtemp(tmpl)) {
		fprintf(stderr, "usage: runner [--board STORE] [--env VAR=VALUE]... CASES... -- COMMAND...\n");
		return 2;
	}
	dir = tmpl;
	// Each case runs in its file's folder: the program is found from here.
	static char program_path[PATH_MAX];
	program = realpath(argv[i + 1], program_path) ? program_path : argv[i + 1];
	command.assign(argv + i + 1, argv + argc);
	if (command.size() == 1)
		command[0] = "nvparm";
	if (store.empty()) {
		std::ofstream(dir + "/cmos.img").close();
		settings.push_back("NVPARM_SIM_IMAGE=" + dir + "/cmos.img");
		settings.push_back("NVPARM_SIM_TRACE=" + dir + "/trace");
		settings.push_back("NVPARM_SIM_CMDLINE=" + dir + "/cmdline");
	}
	int count[3] = {};	// by Result
	for (int file = first; file < i; file++) {
		std::vector<Case> cases;
		if (!parse(argv[file], cases)) {
			count[FAILED]++;
			cases.clear();
		}
		for (Case &c : cases)
			count[check(c)]++;
	}
	for (const char *file : {"/cmos.img", "/cmos.img.reset-pending", "/trace", "/cmdline", "/in", "/out", "/err", "/kept"})
		unlink((dir + file).c_str());
	rmdir(tmpl);
	if (count[SKIPPED])
		printf("%d cases need the simulator: skipped\n", count[SKIPPED]);
	printf("%d passed, %d failed\n", count[PASSED], count[FAILED]);
	return count[FAILED] != 0;
}
