// SPDX-License-Identifier: MIT
#include "sim_cmos.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cmos_layout.h"

extern char **environ;

// A sanitized program finds the simulator preloaded ahead of its runtime:
// allowed here, in the tests and in the tool they run.
static const char asan_options[] = "verify_asan_link_order=0";

extern "C" const char *__asan_default_options()
{
	return asan_options;
}

Bytes hex(const std::string &text)
{
	Bytes bytes;
	for (size_t i = 0; i + 1 < text.size(); i += 2)
		bytes.push_back(std::stoi(text.substr(i, 2), nullptr, 16));
	return bytes;
}

static std::string slurp(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::stringstream s;
	s << in.rdbuf();
	return s.str();
}

SimCmos::SimCmos()
{
	char tmpl[] = "/tmp/nvparm-test.XXXXXX";
	if (!mkdtemp(tmpl))
		ADD_FAILURE() << "mkdtemp: " << strerror(errno);
	dir = tmpl;
}

SimCmos::~SimCmos()
{
	for (const char *name : {"cmos.img", "cmos.img.reset-pending", "trace", "records", "cmdline", "out", "err"})
		unlink(path(name).c_str());
	rmdir(dir.c_str());
}

void SimCmos::use_in_process() const
{
	setenv("NVPARM_SIM_IMAGE", path("cmos.img").c_str(), 1);
	setenv("NVPARM_SIM_TRACE", path("trace").c_str(), 1);
	setenv("NVPARM_SIM_RECORDS", path("records").c_str(), 1);
	setenv("NVPARM_SIM_CMDLINE", path("cmdline").c_str(), 1);
	unsetenv("NVPARM_SIM_FAIL");
}

void SimCmos::seed(unsigned at, const Bytes &bytes)
{
	Bytes cmos = image();
	if (cmos.size() != CMOS_SIZE) {
		cmos.resize(CMOS_SIZE);
		cmos_factory_defaults(cmos.data());
	}
	std::copy(bytes.begin(), bytes.end(), cmos.begin() + at);
	std::ofstream(path("cmos.img"), std::ios::binary).write((const char *)cmos.data(), cmos.size());
}

Bytes SimCmos::image() const
{
	std::string s = slurp(path("cmos.img"));
	return Bytes(s.begin(), s.end());
}

bool SimCmos::reset_pending() const
{
	return access(path("cmos.img.reset-pending").c_str(), F_OK) == 0;
}

void SimCmos::cmdline(const std::string &text)
{
	std::ofstream(path("cmdline"), std::ios::binary) << text;
}

std::string SimCmos::exchange()
{
	std::istringstream lines(slurp(path("trace")));
	std::string line, all;
	while (std::getline(lines, line))
		all += (all.empty() ? "" : "; ") + line;
	unlink(path("trace").c_str());
	return all;
}

Bytes SimCmos::records() const
{
	std::string s = slurp(path("records"));
	return Bytes(s.begin(), s.end());
}

// Runs a program with standard output and error caught in the folder's files.
Outcome SimCmos::spawn(const char *program, std::vector<std::string> argv, std::vector<std::string> env)
{
	std::vector<char *> cargv, cenv;
	for (auto &a : argv)
		cargv.push_back(a.data());
	cargv.push_back(nullptr);
	for (auto &e : env)
		cenv.push_back(e.data());
	cenv.push_back(nullptr);

	posix_spawn_file_actions_t files;
	posix_spawn_file_actions_init(&files);
	posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(&files, 1, path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	posix_spawn_file_actions_addopen(&files, 2, path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

	Outcome run = {"", "", -1};
	pid_t pid;
	int status;
	int e = posix_spawnp(&pid, program, &files, nullptr, cargv.data(), cenv.data());
	posix_spawn_file_actions_destroy(&files);
	if (e) {
		ADD_FAILURE() << "spawn " << program << ": " << strerror(e);
		return run;
	}
	waitpid(pid, &status, 0);
	run.out = slurp(path("out"));
	run.err = slurp(path("err"));
	run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	return run;
}

static std::vector<std::string> split(const std::string &text, char sep)
{
	std::vector<std::string> parts;
	std::istringstream in(text);
	for (std::string part; std::getline(in, part, sep);)
		parts.push_back(part);
	return parts;
}

Outcome SimCmos::nvparm(const std::vector<std::string> &args, const std::string &faults)
{
	// Under an emulator the simulator is handed to the guest alone.
	std::vector<std::string> argv = split(NVPARM_EMULATOR, '|');
	std::string preload = std::string("LD_PRELOAD=") + NVPARM_SIM_LIB;
	std::string bin_dir = NVPARM_BIN;
	bin_dir.erase(bin_dir.rfind('/'));
	// Under memcheck, found on PATH so that it still sees itself as nvparm.
	bool memcheck = getenv("NVPARM_TEST_VALGRIND") != nullptr;
	if (memcheck) {
		argv = {"valgrind", "-q", "--error-exitcode=99", "--leak-check=full",
			"--errors-for-leak-kinds=definite", "nvparm"};
	} else if (argv.empty()) {
		argv.push_back("nvparm");
	} else {
		argv.insert(argv.end(), {"-0", "nvparm", "-E", preload, NVPARM_BIN});
		preload.clear();
	}
	argv.insert(argv.end(), args.begin(), args.end());

	std::vector<std::string> env;
	for (char **e = environ; *e; e++)
		if (strncmp(*e, "NVPARM_SIM_", 11) && strncmp(*e, "LD_PRELOAD=", 11) && strncmp(*e, "PATH=", 5))
			env.push_back(*e);
	env.push_back("PATH=" + bin_dir + ":/usr/bin:/bin");
	if (!preload.empty())
		env.push_back(preload);
	if (!getenv("ASAN_OPTIONS"))
		env.push_back(std::string("ASAN_OPTIONS=") + asan_options);
	if (device)
		env.push_back("NVPARM_SIM_IMAGE=" + path("cmos.img"));
	env.push_back("NVPARM_SIM_TRACE=" + path("trace"));
	env.push_back("NVPARM_SIM_CMDLINE=" + path("cmdline"));
	if (!faults.empty())
		env.push_back("NVPARM_SIM_FAIL=" + faults);

	const char *program = memcheck || std::string(NVPARM_EMULATOR).size() ? argv[0].c_str() : NVPARM_BIN;
	return spawn(program, argv, env);
}

bool SimCmos::reboot()
{
	std::vector<std::string> env = {"NVPARM_SIM_IMAGE=" + path("cmos.img"),
					std::string("NVPARM_SIM_LIB=") + NVPARM_SIM_LIB, "PATH=/usr/bin:/bin"};
	Outcome run = spawn(NVPARM_SOURCE_DIR "/tools/cmos-sim", {"cmos-sim", "--reboot"}, env);
	return run.status == 0 && run.out.empty() && run.err.empty();
}
