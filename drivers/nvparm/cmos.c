// SPDX-License-Identifier: GPL-2.0
/*
 * cmos: the board's battery-backed CMOS as the misc device /dev/cmos, kept
 * in a region of an NVMEM store that the device tree names, by the store
 * and the region's offset and size:
 *
 *	cmos {
 *		compatible = "nvparm,cmos";
 *		nvmem = <&eeprom>;
 *		nvmem-names = "cmos";
 *		nvparm,region = <0x100 0x105>;
 *	};
 *
 * The store is often shared: a board's EEPROM also carries its MAC address,
 * serial number or calibration. Every access goes through cmos_store_read()
 * and cmos_store_write(), which keep it inside the region. The region, as
 * the driver lays it out, is also the NVMEM device "cmos", root only, so
 * that a service tool can save and restore it whole.
 *
 * read() and write() take a record of a 32-bit field number followed by the
 * field's value bytes, and move exactly the field's length: the byte count
 * must be that length. Named fields sit at fixed places below offset 120;
 * offsets 120 to 255 are themselves. Two requests: reset, carried out when
 * the driver next probes, that is at the next boot; and dump, which copies
 * out all 256 bytes. Writes and the reset need a descriptor opened for
 * writing, reads and the dump one opened for reading.
 */
#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/fs.h>
#include <linux/miscdevice.h>
#include <linux/mod_devicetable.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/nvmem-consumer.h>
#include <linux/nvmem-provider.h>
#include <linux/platform_device.h>
#include <linux/property.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "cmos_layout.h"
#include "cmos_requests.h"

/* Where the value bytes start in the caller's record, after the field. */
#define CMOS_VALUE_AT	sizeof(u32)
#define CMOS_VALUE_MAX	16

struct cmos {
	struct miscdevice misc;
	struct nvmem_device *store;
	unsigned int base;	/* where the region starts in the store */
	struct mutex lock;	/* one change of the store, and its check */
};

static const u8 cmos_mark[] = { 'c', 'm', 'o', 's' };

static struct cmos *cmos_of(struct file *file)
{
	return container_of(file->private_data, struct cmos, misc);
}

/* at is an offset in the region: the store is touched only inside it. */
static int cmos_store_read(struct cmos *cmos, unsigned int at, void *val,
			   size_t len)
{
	if (at > CMOS_STORE_SIZE || len > CMOS_STORE_SIZE - at)
		return -EINVAL;
	return nvmem_device_read(cmos->store, cmos->base + at, len, val);
}

/*
 * Writes, then reads back: an EEPROM that is write-protected, or not the
 * part it was bound as, acknowledges writes it never keeps.
 */
static int cmos_store_write(struct cmos *cmos, unsigned int at, void *val,
			    size_t len)
{
	u8 back[CMOS_STORE_SIZE];
	int ret;

	lockdep_assert_held(&cmos->lock);
	if (at > CMOS_STORE_SIZE || len > CMOS_STORE_SIZE - at)
		return -EINVAL;
	ret = nvmem_device_write(cmos->store, cmos->base + at, len, val);
	if (ret >= 0)
		ret = cmos_store_read(cmos, at, back, len);
	if (ret < 0)
		return ret;
	return memcmp(back, val, len) ? -EIO : 0;
}

/* Factory defaults, then the mark with no reset waiting. */
static int cmos_restore(struct cmos *cmos)
{
	u8 defaults[CMOS_SIZE];
	u8 state[CMOS_STORE_SIZE - CMOS_STORE_MARK] = { 0 };
	int ret;

	cmos_factory_defaults(defaults);
	memcpy(state, cmos_mark, sizeof(cmos_mark));
	ret = cmos_store_write(cmos, 0, defaults, sizeof(defaults));
	if (!ret)
		ret = cmos_store_write(cmos, CMOS_STORE_MARK, state, sizeof(state));
	return ret;
}

/* The field a caller's record names: its place, and its length as len. */
static int cmos_field(const char __user *buf, size_t count, unsigned int *at,
		      size_t *len)
{
	unsigned int field_len;
	u32 field;

	if (get_user(field, (const u32 __user *)buf))
		return -EFAULT;
	*at = cmos_place(field, &field_len);
	*len = field_len;
	if (!field_len || count != field_len)
		return -EINVAL;
	return 0;
}

static ssize_t cmos_read(struct file *file, char __user *buf, size_t count,
			 loff_t *ppos)
{
	struct cmos *cmos = cmos_of(file);
	u8 val[CMOS_VALUE_MAX];
	unsigned int at;
	size_t len;
	int ret;

	ret = cmos_field(buf, count, &at, &len);
	if (ret)
		return ret;
	mutex_lock(&cmos->lock);
	ret = cmos_store_read(cmos, at, val, len);
	mutex_unlock(&cmos->lock);
	if (ret < 0)
		return ret;
	if (copy_to_user(buf + CMOS_VALUE_AT, val, len))
		return -EFAULT;
	return len;
}

static ssize_t cmos_write(struct file *file, const char __user *buf,
			  size_t count, loff_t *ppos)
{
	struct cmos *cmos = cmos_of(file);
	u8 val[CMOS_VALUE_MAX];
	unsigned int at;
	size_t len;
	int ret;

	ret = cmos_field(buf, count, &at, &len);
	if (ret)
		return ret;
	if (copy_from_user(val, buf + CMOS_VALUE_AT, len))
		return -EFAULT;
	mutex_lock(&cmos->lock);
	ret = cmos_store_write(cmos, at, val, len);
	mutex_unlock(&cmos->lock);
	return ret ? ret : len;
}

/*
 * The request numbers are those the board's tools have always sent, from
 * every host: the PowerPC encodings of _IOW('c', 1, a 132-byte record) for
 * the reset and _IOW('c', 2, one byte) for the dump. Neither describes its
 * request, as the reset takes no argument and the dump copies 256 bytes
 * out, so they are matched as numbers, not rebuilt with this kernel's _IOW.
 */
static long cmos_ioctl(struct file *file, unsigned int req, unsigned long arg)
{
	struct cmos *cmos = cmos_of(file);
	u8 dump[CMOS_SIZE];
	u8 pending = 1;
	int ret;

	switch (req) {
	case CMOS_IOC_RESET_NUMBER:
		if (!(file->f_mode & FMODE_WRITE))
			return -EBADF;
		mutex_lock(&cmos->lock);
		ret = cmos_store_write(cmos, CMOS_STORE_RESET, &pending, 1);
		mutex_unlock(&cmos->lock);
		return ret;
	case CMOS_IOC_DUMP_NUMBER:
		if (!(file->f_mode & FMODE_READ))
			return -EBADF;
		mutex_lock(&cmos->lock);
		ret = cmos_store_read(cmos, 0, dump, sizeof(dump));
		mutex_unlock(&cmos->lock);
		if (ret < 0)
			return ret;
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
	.compat_ioctl	= compat_ptr_ioctl,
	.llseek		= noop_llseek,
};

/* The region as an NVMEM device of its own, under the driver's lock. */
static int cmos_region_read(void *priv, unsigned int at, void *val, size_t len)
{
	struct cmos *cmos = priv;
	int ret;

	mutex_lock(&cmos->lock);
	ret = cmos_store_read(cmos, at, val, len);
	mutex_unlock(&cmos->lock);
	return ret < 0 ? ret : 0;
}

static int cmos_region_write(void *priv, unsigned int at, void *val,
			     size_t len)
{
	struct cmos *cmos = priv;
	int ret;

	mutex_lock(&cmos->lock);
	ret = cmos_store_write(cmos, at, val, len);
	mutex_unlock(&cmos->lock);
	return ret;
}

static int cmos_region_register(struct device *dev, struct cmos *cmos)
{
	struct nvmem_config config = {
		.dev		= dev,
		.name		= "cmos",
		.id		= NVMEM_DEVID_NONE,
		.owner		= THIS_MODULE,
		.root_only	= true,
		.reg_read	= cmos_region_read,
		.reg_write	= cmos_region_write,
		.size		= CMOS_STORE_SIZE,
		.word_size	= 1,
		.stride		= 1,
		.priv		= cmos,
	};

	return PTR_ERR_OR_ZERO(devm_nvmem_register(dev, &config));
}

static void cmos_deregister(void *misc)
{
	misc_deregister(misc);
}

static int cmos_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	u8 state[CMOS_STORE_SIZE - CMOS_STORE_MARK];
	struct cmos *cmos;
	u32 region[2];
	int ret;

	cmos = devm_kzalloc(dev, sizeof(*cmos), GFP_KERNEL);
	if (!cmos)
		return -ENOMEM;
	cmos->store = devm_nvmem_device_get(dev, "cmos");
	if (IS_ERR(cmos->store))
		return dev_err_probe(dev, PTR_ERR(cmos->store), "no store\n");
	ret = device_property_read_u32_array(dev, "nvparm,region", region,
					     ARRAY_SIZE(region));
	if (ret)
		return dev_err_probe(dev, ret, "no region: nvparm,region = <offset size>\n");
	if (region[1] < CMOS_STORE_SIZE || region[0] > U32_MAX - region[1])
		return dev_err_probe(dev, -EINVAL, "region of %u bytes at %u: %d needed\n",
				     region[1], region[0], CMOS_STORE_SIZE);
	cmos->base = region[0];
	mutex_init(&cmos->lock);

	/* Reading the state past the 256 bytes also proves the store's size. */
	ret = cmos_store_read(cmos, CMOS_STORE_MARK, state, sizeof(state));
	if (ret < 0)
		return dev_err_probe(dev, ret, "region end at %u unreadable\n",
				     cmos->base + CMOS_STORE_SIZE);
	if (memcmp(state, cmos_mark, sizeof(cmos_mark)) || state[sizeof(cmos_mark)]) {
		mutex_lock(&cmos->lock);
		ret = cmos_restore(cmos);
		mutex_unlock(&cmos->lock);
		if (ret)
			return dev_err_probe(dev, ret, "factory defaults not stored\n");
		dev_info(dev, "factory defaults\n");
	}

	ret = cmos_region_register(dev, cmos);
	if (ret)
		return dev_err_probe(dev, ret, "region not offered as NVMEM\n");

	cmos->misc.minor = MISC_DYNAMIC_MINOR;
	cmos->misc.name = "cmos";
	cmos->misc.fops = &cmos_fops;
	cmos->misc.parent = dev;
	ret = misc_register(&cmos->misc);
	if (ret)
		return ret;
	/* No remove(): its type changed in 6.11; devm undoes the probe alike. */
	return devm_add_action_or_reset(dev, cmos_deregister, &cmos->misc);
}

static const struct of_device_id cmos_of_match[] = {
	{ .compatible = "nvparm,cmos" },
	{ }
};
MODULE_DEVICE_TABLE(of, cmos_of_match);

static struct platform_driver cmos_driver = {
	.probe	= cmos_probe,
	.driver	= {
		.name		= "cmos",
		.of_match_table	= cmos_of_match,
	},
};
module_platform_driver(cmos_driver);

MODULE_DESCRIPTION("Battery-backed CMOS holding the board's boot configuration");
MODULE_LICENSE("GPL");
