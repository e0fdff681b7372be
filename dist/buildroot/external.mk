# SPDX-License-Identifier: MIT
include $(BR2_EXTERNAL_NVPARM_PATH)/nvparm.mk
