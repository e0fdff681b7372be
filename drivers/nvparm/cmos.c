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
 * and cmos_store_write(), which keep it inside the region, and the probe
 * writes the factory defaults only to a region that asks for them (a reset
 * waits) or is blank, as a new EEPROM comes: a region that a device tree
 * misplaced over other data is refused, not overwritten. The region, as
 * the driver lays it out, is also an NVMEM device of its own, root only, so
 * that a service tool can save and restore it whole. There is one
 * /dev/cmos: the first node to reach its store claims it.
 *
 * read() and write() take a record of a 32-bit field number followed by the
 * field's value bytes, and move exactly the field's length: the byte count
 * must be that length. Named fields sit at fixed places below offset 120;
 * offsets 120 to 255 are themselves. Two requests: reset, carried out when
 * the driver next probes, at the next boot or binding; and dump, which
 * copies out all 256 bytes. Writes and the reset need a descriptor opened
 * for writing, reads and the dump one opened for reading.
 *
 * The state outlives the binding while a file or the region's NVMEM device
 * holds it: the binding, each open file and that device hold a reference.
 * When the binding ends, whether root
 * unbinds the driver or the store's driver goes (a device link unbinds this
 * one first), the store is marked gone under the lock, after any call in it
 * has finished; from then on every call on a file still open is -ENODEV,
 * and the last release frees the state.
 */
#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/bitops.h>
#include <linux/device.h>
#include <linux/fs.h>
#include <linux/kref.h>
#include <linux/miscdevice.h>
#include <linux/mod_devicetable.h>
#include <linux/minmax.h>
#include <linux/module.h>
#include <linux/moduleparam.h>
#include <linux/mutex.h>
#include <linux/nvmem-consumer.h>
#include <linux/nvmem-provider.h>
#include <linux/of.h>
#include <linux/platform_device.h>
#include <linux/property.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "cmos_layout.h"
#include "cmos_requests.h"

/* Where the value bytes start in the caller's record, after the field. */
#define CMOS_VALUE_AT	sizeof(u32)
/* The mark's length: the reset byte follows it. */
#define CMOS_MARK_LEN	(CMOS_STORE_RESET - CMOS_STORE_MARK)

struct cmos {
	struct kref ref;	/* the binding's, each open file's, the region's */
	struct miscdevice misc;
	struct nvmem_device *store;
	unsigned int base;	/* where the region starts in the store */
	struct mutex lock;	/* one change of the store, its check, gone */
	bool gone;		/* the binding ended: the store is not touched */
};

/*
 * Past the 256 bytes while a reset waits: the mark, then the reset byte.
 * The first initialisation writes the reset byte, then the mark, then
 * carries the reset out, so that a power cut leaves the region blank (but
 * for some of these bytes) or marked with the reset waiting.
 */
static const u8 cmos_reset_waiting[] = { 'c', 'm', 'o', 's', 1 };

static bool force_init;
module_param(force_init, bool, 0600);
MODULE_PARM_DESC(force_init,
		 "Store the factory defaults over a region that holds other data, at the next probe only");

/* One /dev/cmos: bit 0 is set while a node holds it. */
static unsigned long cmos_claimed;

static struct cmos *cmos_of(struct file *file)
{
	return container_of(file->private_data, struct cmos, misc);
}

static void cmos_free(struct kref *ref)
{
	struct cmos *cmos = container_of(ref, struct cmos, ref);

	mutex_destroy(&cmos->lock);
	kfree(cmos);
}

/* at is an offset in the region: the store is touched only inside it. */
static int cmos_store_check(struct cmos *cmos, unsigned int at, size_t len)
{
	lockdep_assert_held(&cmos->lock);
	if (cmos->gone)
		return -ENODEV;
	if (at > CMOS_STORE_SIZE || len > CMOS_STORE_SIZE - at)
		return -EINVAL;
	return 0;
}

static int cmos_store_read(struct cmos *cmos, unsigned int at, void *val,
			   size_t len)
{
	int ret = cmos_store_check(cmos, at, len);

	if (ret)
		return ret;
	return nvmem_device_read(cmos->store, cmos->base + at, len, val);
}

/*
 * Writes, then reads back a field's length at a time: an EEPROM that is
 * write-protected, or not the part it was bound as, acknowledges writes it
 * never keeps.
 */
static int cmos_store_write(struct cmos *cmos, unsigned int at,
			    const void *val, size_t len)
{
	const u8 *bytes = val;
	u8 back[CMOS_FIELD_MAX];
	size_t done, part;
	int ret = cmos_store_check(cmos, at, len);

	if (ret)
		return ret;
	ret = nvmem_device_write(cmos->store, cmos->base + at, len, (void *)val);
	for (done = 0; ret >= 0 && done < len; done += part) {
		part = min(len - done, sizeof(back));
		ret = nvmem_device_read(cmos->store, cmos->base + at + done, part, back);
		if (ret >= 0 && memcmp(back, bytes + done, part))
			ret = -EIO;
	}
	return ret < 0 ? ret : 0;
}

/* The byte after the mark: 1 while a reset waits, 0 once carried out. */
static int cmos_reset_byte(struct cmos *cmos, u8 waiting)
{
	return cmos_store_write(cmos, CMOS_STORE_RESET, &waiting, 1);
}

/*
 * Carries out the reset that waits behind the mark: the factory defaults,
 * built in image, then the reset cleared. A cut before the end leaves the
 * reset waiting for the next probe.
 */
static int cmos_restore(struct cmos *cmos, u8 *image)
{
	int ret;

	cmos_factory_defaults(image);
	ret = cmos_store_write(cmos, 0, image, CMOS_SIZE);
	if (!ret)
		ret = cmos_reset_byte(cmos, 0);
	return ret;
}

/*
 * A region as a new EEPROM comes, all 0xff or all 0x00, or as a power cut
 * in its first initialisation leaves it: the reset byte, and perhaps some
 * of the mark's bytes, already written.
 */
static bool cmos_blank(const u8 *image)
{
	u8 fill = image[0];
	unsigned int i;

	if (fill != 0x00 && fill != 0xff)
		return false;
	for (i = 1; i < CMOS_STORE_SIZE; i++) {
		if (image[i] == fill)
			continue;
		if (i < CMOS_STORE_MARK ||
		    image[i] != cmos_reset_waiting[i - CMOS_STORE_MARK])
			return false;
	}
	return true;
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
	/* The value buffers hold the longest field the layout names. */
	if (!field_len || field_len > CMOS_FIELD_MAX || count != field_len)
		return -EINVAL;
	return 0;
}

static int cmos_open(struct inode *inode, struct file *file)
{
	/* misc_open() holds the misc lock: the binding is still here. */
	kref_get(&cmos_of(file)->ref);
	return nonseekable_open(inode, file);
}

static int cmos_release(struct inode *inode, struct file *file)
{
	kref_put(&cmos_of(file)->ref, cmos_free);
	return 0;
}

static ssize_t cmos_read(struct file *file, char __user *buf, size_t count,
			 loff_t *ppos)
{
	struct cmos *cmos = cmos_of(file);
	u8 val[CMOS_FIELD_MAX];
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
	u8 val[CMOS_FIELD_MAX];
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

/* Apart from the other requests: a dump's copy is large for a stack. */
static noinline_for_stack int cmos_dump(struct cmos *cmos, void __user *to)
{
	u8 dump[CMOS_SIZE];
	int ret;

	mutex_lock(&cmos->lock);
	ret = cmos_store_read(cmos, 0, dump, sizeof(dump));
	mutex_unlock(&cmos->lock);
	if (ret < 0)
		return ret;
	return copy_to_user(to, dump, sizeof(dump)) ? -EFAULT : 0;
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
	int ret;

	switch (req) {
	case CMOS_IOC_RESET_NUMBER:
		if (!(file->f_mode & FMODE_WRITE))
			return -EBADF;
		mutex_lock(&cmos->lock);
		ret = cmos_reset_byte(cmos, 1);
		mutex_unlock(&cmos->lock);
		return ret;
	case CMOS_IOC_DUMP_NUMBER:
		if (!(file->f_mode & FMODE_READ))
			return -EBADF;
		return cmos_dump(cmos, (void __user *)arg);
	}
	return -ENOTTY;
}

static const struct file_operations cmos_fops = {
	.owner		= THIS_MODULE,
	.open		= cmos_open,
	.release	= cmos_release,
	.read		= cmos_read,
	.write		= cmos_write,
	.unlocked_ioctl	= cmos_ioctl,
	.compat_ioctl	= compat_ptr_ioctl,
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

static void cmos_put(void *data)
{
	struct cmos *cmos = data;

	kref_put(&cmos->ref, cmos_free);
}

/*
 * Named "cmos-region" and a number the NVMEM core hands out: no name that
 * a device tree or a driver could ask for beforehand, so no lookup by name
 * returns it. A kernel consumer that found it anyway can hold it past the
 * binding and call it: the device holds the state until the NVMEM core
 * lets it go, when the driver core releases what was added to it.
 */
static int cmos_region_register(struct device *dev, struct cmos *cmos)
{
	struct nvmem_config config = {
		.dev		= dev,
		.name		= "cmos-region",
		.id		= NVMEM_DEVID_AUTO,
		.owner		= THIS_MODULE,
		.root_only	= true,
		.reg_read	= cmos_region_read,
		.reg_write	= cmos_region_write,
		.size		= CMOS_STORE_SIZE,
		.word_size	= 1,
		.stride		= 1,
		.priv		= cmos,
	};
	struct nvmem_device *region;
	struct device *region_dev;
	int ret;

	region = devm_nvmem_register(dev, &config);
	if (IS_ERR(region))
		return PTR_ERR(region);
	region_dev = device_find_child_by_name(dev, nvmem_dev_name(region));
	if (!region_dev)
		return -ENODEV;
	kref_get(&cmos->ref);
	ret = devm_add_action_or_reset(region_dev, cmos_put, cmos);
	put_device(region_dev);
	return ret;
}

struct cmos_lookup {
	struct device_node *node;	/* the store's */
	struct device **provider;	/* its provider's device, held */
};

/* The store by its node, never by name; the device behind it is kept. */
static int cmos_store_match(struct device *dev, const void *data)
{
	const struct cmos_lookup *lookup = data;

	if (dev->of_node != lookup->node)
		return 0;
	*lookup->provider = get_device(dev->parent);
	return 1;
}

static void cmos_store_put(void *store)
{
	nvmem_device_put(store);
}

static void cmos_unclaim(void *unused)
{
	clear_bit_unlock(0, &cmos_claimed);
}

/* Before the store is touched: a second node writes nothing. */
static int cmos_claim(struct device *dev)
{
	if (test_and_set_bit_lock(0, &cmos_claimed))
		return dev_err_probe(dev, -EBUSY,
				     "another cmos node has /dev/cmos, and there is one\n");
	return devm_add_action_or_reset(dev, cmos_unclaim, NULL);
}

/*
 * A device link to the store's provider: when its driver unbinds, or its
 * bus goes, the driver core ends this binding first, and binds it again
 * when the store comes back. The link is made to a bound provider only.
 * The provider's unbinding waits for this probe only while the link is
 * "consumer probing": one that checked its links before the link was made
 * goes on regardless, and leaves the link "supplier unbinding".
 */
static int cmos_link(struct device *dev, struct device *provider)
{
	struct device_link *link;

	if (READ_ONCE(provider->links.status) != DL_DEV_DRIVER_BOUND)
		return dev_err_probe(dev, -EPROBE_DEFER, "store's device %s not bound\n",
				     dev_name(provider));
	link = device_link_add(dev, provider, DL_FLAG_AUTOPROBE_CONSUMER);
	if (!link)
		return dev_err_probe(dev, -EINVAL, "no device link to %s\n",
				     dev_name(provider));
	if (READ_ONCE(link->status) != DL_STATE_CONSUMER_PROBE)
		return dev_err_probe(dev, -EPROBE_DEFER, "store's device %s unbinding\n",
				     dev_name(provider));
	return 0;
}

/*
 * The store the node names, this node's claim on /dev/cmos, and the link
 * to the store's provider. A node that names no provider fails once the
 * driver core stops waiting for drivers: at the end of boot without
 * modules, else at its deferred probe timeout.
 */
static int cmos_store_get(struct device *dev, struct cmos *cmos)
{
	struct device *provider = NULL;
	struct cmos_lookup lookup = { .provider = &provider };
	int index, ret;

	index = of_property_match_string(dev->of_node, "nvmem-names", "cmos");
	lookup.node = of_parse_phandle(dev->of_node, "nvmem", index);
	if (!lookup.node)
		return dev_err_probe(dev, -ENOENT,
				     "no store: nvmem = <&store> and nvmem-names = \"cmos\" needed\n");
	if (of_device_is_compatible(lookup.node, "nvparm,cmos")) {
		ret = dev_err_probe(dev, -EINVAL, "the store is the cmos region %pOF\n",
				    lookup.node);
		goto put_node;
	}
	if (!of_device_is_available(lookup.node)) {
		ret = dev_err_probe(dev, -ENODEV, "store %pOF is disabled\n", lookup.node);
		goto put_node;
	}
	cmos->store = nvmem_device_find(&lookup, cmos_store_match);
	ret = PTR_ERR_OR_ZERO(cmos->store);
	if (ret == -EPROBE_DEFER)
		ret = driver_deferred_probe_check_state(dev);
	if (ret) {
		dev_err_probe(dev, ret, "store %pOF offers no NVMEM device\n",
			      lookup.node);
		goto put_provider;
	}
	ret = devm_add_action_or_reset(dev, cmos_store_put, cmos->store);
	if (!ret)
		ret = cmos_claim(dev);
	if (!ret)
		ret = cmos_link(dev, provider);
put_provider:
	put_device(provider);
put_node:
	of_node_put(lookup.node);
	return ret;
}

/* A reset waiting, the first write of an initialisation: see cmos_blank(). */
static int cmos_ask_reset(struct cmos *cmos)
{
	int ret;

	ret = cmos_reset_byte(cmos, 1);
	if (!ret)
		ret = cmos_store_write(cmos, CMOS_STORE_MARK, cmos_reset_waiting,
				       CMOS_MARK_LEN);
	return ret;
}

/*
 * Checks the region, and stores the factory defaults when a reset waits
 * or the region is blank. A region that holds other data and no mark is
 * left as it is, unless root set force_init for this probe.
 */
static int cmos_start(struct device *dev, struct cmos *cmos, u8 *image)
{
	int ret;

	/* Reading it whole also proves the store's size. */
	ret = cmos_store_read(cmos, 0, image, CMOS_STORE_SIZE);
	if (ret < 0)
		return dev_err_probe(dev, ret,
				     "region end at %u past the store's end, or unreadable\n",
				     cmos->base + CMOS_STORE_SIZE);
	if (!memcmp(image + CMOS_STORE_MARK, cmos_reset_waiting, CMOS_MARK_LEN)) {
		if (!image[CMOS_STORE_RESET])
			return 0;
		dev_info(dev, "reset requested: factory defaults\n");
		ret = 0;
	} else if (cmos_blank(image)) {
		dev_info(dev, "blank region: factory defaults\n");
		ret = cmos_ask_reset(cmos);
	} else if (READ_ONCE(force_init)) {
		WRITE_ONCE(force_init, false);
		dev_warn(dev, "region at %u holds other data: factory defaults over it, as force_init asks\n",
			 cmos->base);
		ret = cmos_ask_reset(cmos);
	} else {
		return dev_err_probe(dev, -EINVAL,
				     "region at %u holds other data (%8ph...) and no configuration: nothing written; force_init overwrites it\n",
				     cmos->base, image);
	}
	if (!ret)
		ret = cmos_restore(cmos, image);
	if (ret)
		return dev_err_probe(dev, ret, "factory defaults not stored\n");
	return 0;
}

/* The binding ends: no new opens, and no call reaches the store again. */
static void cmos_unbind(void *data)
{
	struct cmos *cmos = data;

	misc_deregister(&cmos->misc);
	mutex_lock(&cmos->lock);
	cmos->gone = true;
	mutex_unlock(&cmos->lock);
}

static int cmos_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct cmos *cmos;
	u32 region[2];
	u8 *image;
	int ret;

	cmos = kzalloc(sizeof(*cmos), GFP_KERNEL);
	if (!cmos)
		return -ENOMEM;
	kref_init(&cmos->ref);
	mutex_init(&cmos->lock);
	ret = devm_add_action_or_reset(dev, cmos_put, cmos);
	if (ret)
		return ret;
	ret = device_property_read_u32_array(dev, "nvparm,region", region,
					     ARRAY_SIZE(region));
	if (ret)
		return dev_err_probe(dev, ret, "no region: nvparm,region = <offset size>\n");
	if (region[1] < CMOS_STORE_SIZE || region[0] > U32_MAX - region[1])
		return dev_err_probe(dev, -EINVAL, "region of %u bytes at %u: %d needed\n",
				     region[1], region[0], CMOS_STORE_SIZE);
	cmos->base = region[0];
	ret = cmos_store_get(dev, cmos);
	if (ret)
		return ret;

	/* The region's image: too large for the stack. */
	image = kmalloc(CMOS_STORE_SIZE, GFP_KERNEL);
	if (!image)
		return -ENOMEM;
	mutex_lock(&cmos->lock);
	ret = cmos_start(dev, cmos, image);
	mutex_unlock(&cmos->lock);
	kfree(image);
	if (ret)
		return ret;

	ret = cmos_region_register(dev, cmos);
	if (ret)
		return dev_err_probe(dev, ret, "region not offered as NVMEM\n");

	cmos->misc.minor = MISC_DYNAMIC_MINOR;
	cmos->misc.name = "cmos";
	cmos->misc.fops = &cmos_fops;
	cmos->misc.parent = dev;
	ret = misc_register(&cmos->misc);
	if (ret)
		return dev_err_probe(dev, ret, "misc device cmos not registered\n");
	/* No remove(): its type changed in 6.11; devm undoes the probe alike. */
	return devm_add_action_or_reset(dev, cmos_unbind, cmos);
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
