################################################################################
#
# nvparm
#
################################################################################

# SPDX-License-Identifier: MIT
# (after the header, where Buildroot's check-package wants it)

NVPARM_VERSION = 1.0
# This clone; a release would name its tarball or git address instead.
NVPARM_SITE = $(BR2_EXTERNAL_NVPARM_PATH)/../..
NVPARM_SITE_METHOD = local
NVPARM_LICENSE = MIT
NVPARM_LICENSE_FILES = LICENSE

$(eval $(cmake-package))
