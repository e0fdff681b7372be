// SPDX-License-Identifier: MIT
// A scratch simulated CMOS for one test, and the tool run against it.
#ifndef NVPARM_TEST_SIM_CMOS_H
#define NVPARM_TEST_SIM_CMOS_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

Bytes hex(const std::string &text);

struct Outcome {
	std::string out;
	std::string err;
	int status;
};

class SimCmos {
public:
	SimCmos();
	~SimCmos();

	// The simulator's settings for this process: image, trace, records and
	// kernel command line in the scratch folder, no faults.
	void use_in_process() const;

	void seed(unsigned at, const Bytes &bytes);	// over factory defaults
	Bytes image() const;
	bool reset_pending() const;
	void cmdline(const std::string &text);
	void remove_device() { device = false; }

	// The device calls since the last look, "; "-separated, then forgotten.
	std::string exchange();
	// Every record passed to read or write, 132 bytes each.
	Bytes records() const;

	// nvparm with these arguments, as a user runs it; faults as NVPARM_SIM_FAIL.
	Outcome nvparm(const std::vector<std::string> &args, const std::string &faults = "");

	// The cmos-sim wrapper's reboot: a requested reset takes effect.
	bool reboot();

	std::string path(const char *name) const { return dir + "/" + name; }

private:
	Outcome spawn(const char *program, std::vector<std::string> argv, std::vector<std::string> env);

	std::string dir;
	bool device = true;
};

#endif
