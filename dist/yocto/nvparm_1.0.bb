# SPDX-License-Identifier: MIT
SUMMARY = "Read and set the boot configuration kept in CMOS"
DESCRIPTION = "nvparm reads and writes the boot configuration that the board \
keeps in battery-backed CMOS through /dev/cmos, raw CMOS bytes, the reset \
request and the dump, and reports the boot server from /proc/cmdline."
LICENSE = "MIT"
LIC_FILES_CHKSUM = "file://LICENSE;md5=ab49fd18a48bf8dcd3ead8f724858f46"

# Where nvparm comes from: by default this recipe's own clone; point
# NVPARM_GIT and SRCREV at your copy and its release commit.
NVPARM_GIT ??= "${THISDIR}/../.."
SRC_URI = "git://${NVPARM_GIT};protocol=file;branch=main"
SRCREV ??= "${AUTOREV}"
PV = "1.0+git${SRCPV}"
S = "${WORKDIR}/git"

inherit cmake bash-completion

# The man page and licence go to ${PN}-doc, the completion to
# ${PN}-bash-completion; the tool needs the C library alone.
