# SPDX-License-Identifier: MIT
SUMMARY = "The CMOS driver nvparm talks to: /dev/cmos over an NVMEM store"
DESCRIPTION = "The kernel module cmos offers the board's boot configuration \
as the misc device /dev/cmos, kept in a region of an NVMEM store, such as an \
I2C EEPROM, that the device tree names."
SECTION = "kernel"
LICENSE = "GPL-2.0-only"
LIC_FILES_CHKSUM = "file://cmos.c;beginline=1;endline=1;md5=50d2ba0afecd20f74c12a4bdbcfcfe61 \
                    file://../../LICENSES/GPL-2.0;md5=b234ee4d69f5fce4486a80fdaf4a4263"

require nvparm.inc

inherit module

# The driver's folder of the release; its Makefile runs the kernel's
# make -C ${KERNEL_SRC} M=${S}.
S = "${UNPACKDIR}/nvparm-${PV}/drivers/nvparm"

RPROVIDES:${PN} += "kernel-module-cmos"
