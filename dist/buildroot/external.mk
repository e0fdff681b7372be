# SPDX-License-Identifier: MIT
include $(sort $(wildcard $(BR2_EXTERNAL_NVPARM_PATH)/package/*/*.mk))
