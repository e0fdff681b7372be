// SPDX-License-Identifier: MIT
// Carries out the tool-level cases (tests/cases/*.cases): on the desk
// against the simulated CMOS, natively or under an emulator, and on the
// emulated board against its driver. A failing case is printed with what
// was expected and what came; the last line counts them.
//
//   runner [--board STORE] [--env VAR=VALUE]... CASES... -- COMMAND...
//
// COMMAND runs the tool; when it is one word, the tool's argv[0] is
// "nvparm". On the desk each case gets a scratch image, trace and kernel
// command line through the simulator's settings. With --board, STORE holds
// the driver's CMOS bytes; cases that need the simulator are skipped.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cmos_layout.h"

typedef std::vector<unsigned char> Bytes;

struct Case {
	std::string where, args_text;
	std::vector<std::string> args;
	std::string out, err, trace, fail, cmdline = "console=ttyS0 bootdev=eobc0 server_ip=10.9.8.7\n";
	std::string stream[3];		// "", "closed", "full" or "broken-pipe"
	int status = 1;
	bool has_trace = false, needs_sim = false;
	std::vector<std::pair<unsigned, Bytes>> before, after;
};

static std::string board_store, scratch;
static std::vector<std::string> command, settings;
static int passed, failed, skipped;

static std::string slurp(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::stringstream s;
	s << in.rdbuf();
	return s.str();
}

// \t, \n, \\, \' and \xHH, as in C.
static std::string unescape(const std::string &text)
{
	std::string s;
	for (size_t i = 0; i < text.size(); i++) {
		if (text[i] != '\\' || i + 1 == text.size()) {
			s += text[i];
			continue;
		}
		char c = text[++i];
		if (c == 'x' && i + 2 < text.size()) {
			s += (char)std::stoi(text.substr(i + 1, 2), nullptr, 16);
			i += 2;
		} else {
			s += c == 't' ? '\t' : c == 'n' ? '\n' : c;
		}
	}
	return s;
}

// Words split at blanks; 'quoted words' keep theirs, '' is an empty word.
static std::vector<std::string> words(const std::string &text)
{
	std::vector<std::string> all;
	std::string word;
	bool quoted = false, any = false;
	for (size_t i = 0; i < text.size(); i++) {
		char c = text[i];
		if (c == '\\' && i + 1 < text.size()) {
			word += text.substr(i++, 2);
		} else if (c == '\'') {
			quoted = !quoted;
			any = true;
		} else if ((c == ' ' || c == '\t') && !quoted) {
			if (any || !word.empty())
				all.push_back(unescape(word));
			word.clear();
			any = false;
		} else {
			word += c;
		}
	}
	if (any || !word.empty())
		all.push_back(unescape(word));
	return all;
}

static Bytes hex(const std::string &text)
{
	Bytes bytes;
	for (size_t i = 0; i + 1 < text.size(); i += 2)
		bytes.push_back(std::stoi(text.substr(i, 2), nullptr, 16));
	return bytes;
}

static bool parse(const std::string &path, std::vector<Case> &cases)
{
	std::ifstream in(path);
	std::string dir = path.substr(0, path.rfind('/') + 1), line;
	for (int n = 1; std::getline(in, line); n++) {
		size_t key = line.find_first_not_of(" \t");
		if (key == std::string::npos || line[key] == '#')
			continue;
		std::string where = path.substr(dir.size()) + ":" + std::to_string(n);
		if (key == 0 && (line == "nvparm" || line.compare(0, 7, "nvparm ") == 0)) {
			cases.push_back(Case());
			cases.back().where = where;
			cases.back().args_text = line.substr(6);
			cases.back().args = words(line.substr(6));
			continue;
		}
		size_t sep = line.find(' ', key);
		std::string name = line.substr(key, sep - key);
		std::string text = sep == std::string::npos ? "" : line.substr(sep + 1);
		if (cases.empty() || key == 0) {
			fprintf(stderr, "%s: not a case or an indented expectation\n", where.c_str());
			return false;
		}
		Case &c = cases.back();
		if (name == "out" || name == "err") {
			std::string &to = name == "out" ? c.out : c.err;
			to += text[0] == '<' ? slurp(dir + text.substr(1)) : unescape(text) + "\n";
		} else if (name == "exit") {
			c.status = std::stoi(text);
		} else if (name == "trace") {
			c.trace = text;
			c.has_trace = true;
		} else if (name == "fail" || name == "cmdline") {
			(name == "fail" ? c.fail : c.cmdline) = unescape(text);
			c.needs_sim = true;
		} else if (name == "before" || name == "after") {
			(name == "before" ? c.before : c.after).push_back(
				{std::stoul(text), hex(text.substr(text.find(' ') + 1))});
		} else if (name == "stdin" || name == "stdout" || name == "stderr") {
			c.stream[name == "stdin" ? 0 : name == "stdout" ? 1 : 2] = text;
		} else {
			fprintf(stderr, "%s: unknown expectation '%s'\n", where.c_str(), name.c_str());
			return false;
		}
	}
	return true;
}

static std::string at(const char *name)
{
	return scratch + "/" + name;
}

static void put(const std::string &path, const std::string &text)
{
	std::ofstream(path, std::ios::binary) << text;
}

static Bytes store_bytes()
{
	std::string s = slurp(board_store.empty() ? at("cmos.img") : board_store).substr(0, CMOS_SIZE);
	return Bytes(s.begin(), s.end());
}

static void set_store(const Bytes &cmos)
{
	std::string path = board_store.empty() ? at("cmos.img") : board_store;
	int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
	if (fd < 0 || pwrite(fd, cmos.data(), cmos.size(), 0) != (ssize_t)cmos.size())
		perror(path.c_str());
	close(fd);
}

// Standard descriptor fd of the tool as the case asks; 0 when it works.
static int redirect(int fd, const std::string &how, int pipe_end)
{
	int to;
	if (how == "closed")
		return close(fd) < 0 && errno != EBADF;
	if (how == "broken-pipe") {
		signal(SIGPIPE, SIG_IGN);
		to = pipe_end;
	} else if (how == "full") {
		to = open("/dev/full", O_WRONLY);
	} else {
		to = open(fd ? at(fd == 1 ? "out" : "err").c_str() : "/dev/null",
			  fd ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0644);
	}
	if (to < 0 || dup2(to, fd) < 0)
		return 1;
	return to != fd && to != pipe_end && close(to) < 0;
}

static int run(const Case &c)
{
	std::vector<std::string> argv = command, env;
	if (argv.size() == 1)
		argv[0] = "nvparm";
	argv.insert(argv.end(), c.args.begin(), c.args.end());
	// The caller's environment, but for what the case sets itself.
	for (char **e = environ; *e; e++) {
		bool set_here = !strncmp(*e, "NVPARM_SIM_", 11) || !strncmp(*e, "LD_PRELOAD=", 11);
		for (const auto &s : settings)
			set_here |= !strncmp(*e, s.c_str(), s.find('=') + 1);
		if (!set_here)
			env.push_back(*e);
	}
	env.insert(env.end(), settings.begin(), settings.end());
	if (board_store.empty()) {
		env.push_back("NVPARM_SIM_IMAGE=" + at("cmos.img"));
		env.push_back("NVPARM_SIM_TRACE=" + at("trace"));
		env.push_back("NVPARM_SIM_CMDLINE=" + at("cmdline"));
		env.push_back("NVPARM_SIM_FAIL=" + c.fail);
	}
	std::vector<char *> cargv, cenv;
	for (auto &a : argv)
		cargv.push_back(&a[0]);
	for (auto &e : env)
		cenv.push_back(&e[0]);
	cargv.push_back(nullptr);
	cenv.push_back(nullptr);

	// The reader of a broken pipe is gone before the tool starts.
	int ends[2];
	if (pipe(ends) < 0)
		return -1;
	close(ends[0]);
	pid_t pid = fork();
	if (pid == 0) {
		for (int fd = 0; fd < 3; fd++)
			if (redirect(fd, c.stream[fd], ends[1]))
				_exit(126);
		close(ends[1]);
		execve(command[0].c_str(), cargv.data(), cenv.data());
		_exit(127);
	}
	close(ends[1]);
	int status = -1;
	if (pid < 0 || waitpid(pid, &status, 0) < 0)
		return -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

static std::string shown(const std::string &s)
{
	std::string t = "\"";
	for (unsigned char ch : s.substr(0, 2000)) {
		char buf[8];
		snprintf(buf, sizeof(buf), ch == '\n' ? "\\n" : ch == '\t' ? "\\t" : ch < ' ' || ch > '~' ? "\\x%02x" : "%c", ch);
		t += buf;
	}
	return t + (s.size() > 2000 ? "\"..." : "\"");
}

static void compare(std::string &why, const char *what, const std::string &expected, const std::string &got)
{
	if (expected != got)
		why += std::string("  ") + what + ": expected " + shown(expected) + "\n" +
		       std::string(strlen(what) + 4, ' ') + "got      " + shown(got) + "\n";
}

static void check(const Case &c)
{
	if (!board_store.empty() && c.needs_sim) {
		skipped++;
		return;
	}
	Bytes cmos(CMOS_SIZE);
	cmos_factory_defaults(cmos.data());
	for (const auto &b : c.before)
		std::copy(b.second.begin(), b.second.end(), cmos.begin() + b.first);
	set_store(cmos);
	for (const auto &a : c.after)
		std::copy(a.second.begin(), a.second.end(), cmos.begin() + a.first);
	if (board_store.empty()) {
		unlink(at("trace").c_str());
		unlink(at("cmos.img.reset-pending").c_str());
		put(at("cmdline"), c.cmdline);
	}

	int status = run(c);
	std::string why;
	compare(why, "stdout", c.out, c.stream[1].empty() ? slurp(at("out")) : "");
	compare(why, "stderr", c.err, c.stream[2].empty() ? slurp(at("err")) : "");
	compare(why, "exit", std::to_string(c.status), std::to_string(status));
	if (c.has_trace && board_store.empty()) {
		std::string trace = slurp(at("trace"));
		for (size_t nl; (nl = trace.find('\n')) != std::string::npos;)
			trace.replace(nl, 1, nl + 1 < trace.size() ? "; " : "");
		compare(why, "trace", c.trace, trace);
	}
	Bytes got = store_bytes();
	for (unsigned i = 0, shown = 0; i < CMOS_SIZE && shown < 8; i++) {
		if (i < got.size() && got[i] == cmos[i])
			continue;
		char line[80];
		snprintf(line, sizeof(line), "  cmos byte %u: expected %02x, got %02x\n", i, cmos[i], i < got.size() ? got[i] : 0);
		why += line;
		shown++;
	}
	if (why.empty()) {
		passed++;
	} else {
		failed++;
		printf("FAIL %s: nvparm%s\n%s", c.where.c_str(), c.args_text.c_str(), why.c_str());
	}
	fflush(stdout);
}

int main(int argc, char **argv)
{
	std::vector<std::string> files;
	int i = 1;
	for (; i < argc && strcmp(argv[i], "--"); i++) {
		if (!strcmp(argv[i], "--board") && i + 1 < argc)
			board_store = argv[++i];
		else if (!strcmp(argv[i], "--env") && i + 1 < argc)
			settings.push_back(argv[++i]);
		else
			files.push_back(argv[i]);
	}
	command.assign(argv + i + (i < argc), argv + argc);
	std::string tmpl = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/nvparm-cases.XXXXXX";
	if (command.empty() || files.empty() || !mkdtemp(&tmpl[0])) {
		fprintf(stderr, "usage: runner [--board STORE] [--env VAR=VALUE]... CASES... -- COMMAND...\n");
		return 2;
	}
	scratch = tmpl;

	for (const auto &file : files) {
		std::vector<Case> cases;
		if (!parse(file, cases))
			return 2;
		for (const auto &c : cases)
			check(c);
	}
	for (const char *name : {"cmos.img", "cmos.img.reset-pending", "trace", "cmdline", "out", "err"})
		unlink(at(name).c_str());
	rmdir(scratch.c_str());
	if (skipped)
		printf("%d cases need the simulator: skipped\n", skipped);
	printf("%d passed, %d failed\n", passed, failed);
	return failed != 0;
}
