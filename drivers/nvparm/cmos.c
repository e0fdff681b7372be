// SPDX-License-Identifier: GPL-2.0
/*
 * cmos: the board's battery-backed CMOS as the misc device /dev/cmos.
 *
 * read() and write() take a whole struct cmos_cmd, a field number and 128
 * value bytes, and move exactly the field's length of value bytes: the
 * byte count must be that length. Named fields sit at fixed places below
 * offset 120; offsets 120 to 255 are themselves. Two requests: reset
 * restores the factory defaults when the driver next loads, which is the
 * board's next boot; dump copies out all 256 bytes.
 */
#include <linux/build_bug.h>
#include <linux/fs.h>
#include <linux/ioctl.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/stddef.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "cmos_chip.h"
#include "cmos_requests.h"

struct cmos_cmd {
	u32 field;
	u8 val[128];
};

#define CMOS_IOC_RESET	_IOW('c', 1, struct cmos_cmd)
#define CMOS_IOC_DUMP	_IOW('c', 2, u8)

static DEFINE_MUTEX(cmos_lock);

/* Copies in the caller's record and finds the field's place in the chip. */
static int cmos_take(const char __user *buf, size_t count,
		     struct cmos_cmd *cmd, unsigned int *at)
{
	unsigned int len;

	if (copy_from_user(cmd, buf, sizeof(*cmd)))
		return -EFAULT;
	*at = cmos_place(cmd->field, &len);
	if (!len || count != len)
		return -EINVAL;
	return len;
}

static ssize_t cmos_read(struct file *file, char __user *buf, size_t count,
			 loff_t *ppos)
{
	struct cmos_cmd cmd;
	unsigned int at;
	int len = cmos_take(buf, count, &cmd, &at);

	if (len < 0)
		return len;
	mutex_lock(&cmos_lock);
	memcpy(cmd.val, cmos_chip.bytes + at, len);
	mutex_unlock(&cmos_lock);
	if (copy_to_user(buf + offsetof(struct cmos_cmd, val), cmd.val, len))
		return -EFAULT;
	return len;
}

static ssize_t cmos_write(struct file *file, const char __user *buf,
			  size_t count, loff_t *ppos)
{
	struct cmos_cmd cmd;
	unsigned int at;
	int len = cmos_take(buf, count, &cmd, &at);

	if (len < 0)
		return len;
	mutex_lock(&cmos_lock);
	memcpy(cmos_chip.bytes + at, cmd.val, len);
	mutex_unlock(&cmos_lock);
	return len;
}

static long cmos_ioctl(struct file *file, unsigned int req, unsigned long arg)
{
	u8 dump[CMOS_SIZE];

	switch (req) {
	case CMOS_IOC_RESET:
		mutex_lock(&cmos_lock);
		cmos_chip.reset_pending = true;
		mutex_unlock(&cmos_lock);
		return 0;
	case CMOS_IOC_DUMP:
		mutex_lock(&cmos_lock);
		memcpy(dump, cmos_chip.bytes, sizeof(dump));
		mutex_unlock(&cmos_lock);
		if (copy_to_user((void __user *)arg, dump, sizeof(dump)))
			return -EFAULT;
		return 0;
	}
	return -ENOTTY;
}

static const struct file_operations cmos_fops = {
	.owner		= THIS_MODULE,
	.read		= cmos_read,
	.write		= cmos_write,
	.unlocked_ioctl	= cmos_ioctl,
	.llseek		= noop_llseek,
};

static struct miscdevice cmos_misc = {
	.minor	= MISC_DYNAMIC_MINOR,
	.name	= "cmos",
	.fops	= &cmos_fops,
};

static int __init cmos_init(void)
{
	/* The tool sends these numbers from every host; they must be ours. */
	BUILD_BUG_ON(sizeof(struct cmos_cmd) != 132);
	BUILD_BUG_ON(CMOS_IOC_RESET != CMOS_IOC_RESET_NUMBER);
	BUILD_BUG_ON(CMOS_IOC_DUMP != CMOS_IOC_DUMP_NUMBER);

	if (!cmos_chip.powered || cmos_chip.reset_pending) {
		cmos_factory_defaults(cmos_chip.bytes);
		cmos_chip.powered = true;
		cmos_chip.reset_pending = false;
		pr_info("cmos: factory defaults\n");
	}
	return misc_register(&cmos_misc);
}

static void __exit cmos_exit(void)
{
	misc_deregister(&cmos_misc);
}

module_init(cmos_init);
module_exit(cmos_exit);
MODULE_DESCRIPTION("Battery-backed CMOS holding the board's boot configuration");
MODULE_LICENSE("GPL");
