################################################################################
#
# nvparm
#
################################################################################

# SPDX-License-Identifier: MIT
# (after the header, where Buildroot's check-package wants it)

NVPARM_VERSION = 1.0
NVPARM_SITE = https://nvparm.org/releases
NVPARM_LICENSE = MIT, GPL-2.0 (driver)
NVPARM_LICENSE_FILES = LICENSE LICENSES/GPL-2.0

ifeq ($(BR2_PACKAGE_NVPARM_DRIVER),y)
NVPARM_MODULE_SUBDIRS = drivers/nvparm
NVPARM_MODULE_MAKE_OPTS = CONFIG_NVPARM_CMOS=m

define NVPARM_LINUX_CONFIG_FIXUPS
	$(call KCONFIG_ENABLE_OPT,CONFIG_NVMEM)
endef

$(eval $(kernel-module))
endif

$(eval $(cmake-package))
