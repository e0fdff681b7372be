# SPDX-License-Identifier: MIT
################################################################################
#
# nvparm
#
################################################################################

NVPARM_VERSION = 1.0
# This clone; a release would name its tarball or git address instead.
NVPARM_SITE = $(BR2_EXTERNAL_NVPARM_PATH)/../..
NVPARM_SITE_METHOD = local
NVPARM_LICENSE = MIT
NVPARM_LICENSE_FILES = LICENSE
NVPARM_SUPPORTS_IN_SOURCE_BUILD = NO

$(eval $(cmake-package))
