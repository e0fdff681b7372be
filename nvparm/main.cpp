// SPDX-License-Identifier: MIT
#include "nvparm.h"

int main(int argc, char **argv)
{
	return configure(argc, argv);
}
