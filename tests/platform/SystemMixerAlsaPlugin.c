/* A control device that lives in memory, for testing the system mixer on a
 * machine without a sound card. The system mixer test compiles it into an
 * ALSA control plugin and points a temporary ALSA configuration at it. Its
 * values are shared by every handle opened in the process, so a test can
 * check through a second handle what the first one wrote. */
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <string.h>

struct element {
  const char* name;
  int iface_type; /* SND_CTL_ELEM_TYPE_INTEGER or _BOOLEAN */
  int capture;
  long min, max;
  long value[2];
};

static struct element elements[] = {
    {"Master Playback Volume", SND_CTL_ELEM_TYPE_INTEGER, 0, 0, 87, {60, 60}},
    {"Master Playback Switch", SND_CTL_ELEM_TYPE_BOOLEAN, 0, 0, 1, {1, 1}},
    {"PCM Playback Volume", SND_CTL_ELEM_TYPE_INTEGER, 0, 0, 255, {200, 200}},
    {"Line Playback Switch", SND_CTL_ELEM_TYPE_BOOLEAN, 0, 0, 1, {1, 1}},
    {"Aux Playback Volume", SND_CTL_ELEM_TYPE_INTEGER, 0, 0, 31, {10, 10}},
    {"Mic Capture Volume", SND_CTL_ELEM_TYPE_INTEGER, 1, 0, 63, {20, 20}},
    {"Mic Capture Switch", SND_CTL_ELEM_TYPE_BOOLEAN, 1, 0, 1, {0, 0}},
};
#define COUNT ((int)(sizeof elements / sizeof elements[0]))

static int elem_count(snd_ctl_ext_t* ext) {
  (void)ext;
  return COUNT;
}

static int elem_list(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
  (void)ext;
  if (offset >= (unsigned)COUNT) return -EINVAL;
  snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
  snd_ctl_elem_id_set_name(id, elements[offset].name);
  return 0;
}

static snd_ctl_ext_key_t find_elem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
  (void)ext;
  const char* name = snd_ctl_elem_id_get_name(id);
  for (int i = 0; i < COUNT; ++i)
    if (strcmp(name, elements[i].name) == 0) return (snd_ctl_ext_key_t)i;
  return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int get_attribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc,
                         unsigned int* count) {
  (void)ext;
  if (key >= (snd_ctl_ext_key_t)COUNT) return -EINVAL;
  *type = elements[key].iface_type;
  *acc = SND_CTL_EXT_ACCESS_READWRITE;
  *count = 2;
  return 0;
}

static int get_integer_info(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep) {
  (void)ext;
  if (key >= (snd_ctl_ext_key_t)COUNT) return -EINVAL;
  *imin = elements[key].min;
  *imax = elements[key].max;
  *istep = 1;
  return 0;
}

static int read_integer(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
  (void)ext;
  if (key >= (snd_ctl_ext_key_t)COUNT) return -EINVAL;
  value[0] = elements[key].value[0];
  value[1] = elements[key].value[1];
  return 0;
}

static int write_integer(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
  (void)ext;
  if (key >= (snd_ctl_ext_key_t)COUNT) return -EINVAL;
  int changed = 0;
  for (int c = 0; c < 2; ++c) {
    long v = value[c];
    if (v < elements[key].min || v > elements[key].max) return -EINVAL;
    changed |= elements[key].value[c] != v;
    elements[key].value[c] = v;
  }
  return changed;
}

static void subscribe_events(snd_ctl_ext_t* ext, int subscribe) {
  (void)ext;
  (void)subscribe;
}

static int read_event(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* event_mask) {
  (void)ext;
  (void)id;
  (void)event_mask;
  return -EAGAIN;
}

static void close_ctl(snd_ctl_ext_t* ext) { free(ext); }

static const snd_ctl_ext_callback_t callbacks = {
    .close = close_ctl,
    .elem_count = elem_count,
    .elem_list = elem_list,
    .find_elem = find_elem,
    .get_attribute = get_attribute,
    .get_integer_info = get_integer_info,
    .read_integer = read_integer,
    .write_integer = write_integer,
    .subscribe_events = subscribe_events,
    .read_event = read_event,
};

SND_CTL_PLUGIN_DEFINE_FUNC(djvptest) {
  (void)root;
  (void)conf;
  snd_ctl_ext_t* ext = calloc(1, sizeof *ext);
  if (ext == NULL) return -ENOMEM;
  ext->version = SND_CTL_EXT_VERSION;
  ext->card_idx = 0;
  strcpy(ext->id, "DjvpTest");
  strcpy(ext->driver, "djvptest");
  strcpy(ext->name, "Test mixer");
  strcpy(ext->longname, "Test mixer in memory");
  strcpy(ext->mixername, "Test mixer");
  ext->poll_fd = -1;
  ext->callback = &callbacks;
  int err = snd_ctl_ext_create(ext, name, mode);
  if (err < 0) {
    free(ext);
    return err;
  }
  *handlep = ext->handle;
  return 0;
}

SND_CTL_PLUGIN_SYMBOL(djvptest);
