# SPDX-License-Identifier: MIT
SUMMARY = "Read and set the boot configuration kept in CMOS"
DESCRIPTION = "nvparm reads and writes the boot configuration that the board \
keeps in battery-backed CMOS through /dev/cmos, raw CMOS bytes, the reset \
request and the dump, and reports the boot server from /proc/cmdline."
SECTION = "admin"
LICENSE = "MIT"
LIC_FILES_CHKSUM = "file://LICENSE;md5=ab49fd18a48bf8dcd3ead8f724858f46"

require nvparm.inc

inherit cmake bash-completion

# The man page and licence go to ${PN}-doc, the completion to
# ${PN}-bash-completion; the tool needs the C library alone. Tests stay
# off: the cmake class names no emulator, and nvparm's build leaves tests
# out of a cross build without one.
