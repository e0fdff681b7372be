// SPDX-License-Identifier: MIT
// One row of a tool-level table: arguments, standard output, standard
// error, exit status, and the device calls it makes.
#ifndef NVPARM_TEST_TABLE_H
#define NVPARM_TEST_TABLE_H

#include <gtest/gtest.h>

#include "sim_cmos.h"

struct Row {
	std::vector<std::string> args;
	std::string out;
	std::string err;
	int status;
	std::string exchange;
};

inline std::string words(const std::vector<std::string> &args)
{
	std::string s = "nvparm";
	for (const auto &a : args)
		s += " '" + (a.size() > 40 ? a.substr(0, 40) + "...(" + std::to_string(a.size()) + " bytes)" : a) + "'";
	return s;
}

inline void expect_row(SimCmos &cmos, const Row &row, const std::string &faults = "")
{
	SCOPED_TRACE(words(row.args) + (faults.empty() ? "" : " with " + faults + " failing"));
	Outcome run = cmos.nvparm(row.args, faults);
	EXPECT_EQ(run.out, row.out);
	EXPECT_EQ(run.err, row.err);
	EXPECT_EQ(run.status, row.status);
	EXPECT_EQ(cmos.exchange(), row.exchange);
}

// Each row against a fresh factory-default CMOS.
inline void expect_rows(const std::vector<Row> &rows)
{
	for (const auto &row : rows) {
		SimCmos cmos;
		expect_row(cmos, row);
	}
}

#endif
