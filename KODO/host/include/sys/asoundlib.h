/* PCM playback streams and their mixer groups.
 *
 * Every stream is a small ring buffer mixed, together with the music, into
 * one audio device (22050 Hz, stereo, signed 16-bit). Streams are never
 * blocking: a write copies what fits and returns that count. */
#ifndef KODO_HOST_SYS_ASOUNDLIB_H
#define KODO_HOST_SYS_ASOUNDLIB_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <host/host_api.h>

KODO_HOST_BEGIN

typedef struct snd_pcm snd_pcm_t;
typedef struct snd_mixer snd_mixer_t;

/* Open modes. */
#define SND_PCM_OPEN_PLAYBACK 0x0001

/* Channels (directions). */
#define SND_PCM_CHANNEL_PLAYBACK 0
#define SND_PCM_CHANNEL_CAPTURE 1

/* Plug-ins that can be disabled. */
#define PLUGIN_DISABLE_MMAP 2

/* Transfer modes. */
#define SND_PCM_MODE_BLOCK 1

/* Sample formats. */
#define SND_PCM_SFMT_S16_LE 4

/* Start and stop modes. */
#define SND_PCM_START_FULL 1 /* start once a whole fragment is queued */
#define SND_PCM_START_DATA 2 /* start on the first byte */
#define SND_PCM_STOP_STOP 1  /* stop (UNDERRUN) when the queue runs empty */

/* Stream states. */
#define SND_PCM_STATUS_NOTREADY 0
#define SND_PCM_STATUS_READY 1
#define SND_PCM_STATUS_PREPARED 2
#define SND_PCM_STATUS_RUNNING 3
#define SND_PCM_STATUS_UNDERRUN 4
#define SND_PCM_STATUS_OVERRUN 5
#define SND_PCM_STATUS_ERROR 10000

typedef struct snd_pcm_format {
    int interleave;
    int format;
    int rate;
    int voices;
} snd_pcm_format_t;

typedef struct snd_pcm_channel_info {
    int channel;
    int min_rate, max_rate;
    int min_voices, max_voices;
    int min_fragment_size; /* bytes */
    int max_fragment_size; /* bytes */
    int fragment_align;
    int max_buffer_size;   /* bytes */
} snd_pcm_channel_info_t;

typedef struct snd_pcm_channel_params {
    int channel;
    int mode;
    snd_pcm_format_t format;
    int start_mode;
    int stop_mode;
    union {
        struct {
            int frag_size; /* bytes */
            int frags_min;
            int frags_max; /* -1: no maximum */
        } block;
    } buf;
    char sw_mixer_subchn_name[32];
} snd_pcm_channel_params_t;

typedef struct snd_mixer_gid {
    int type;
    char name[32];
    int index;
} snd_mixer_gid_t;

typedef struct snd_mixer_group {
    snd_mixer_gid_t gid;
    unsigned int channels; /* bit 0 front left, bit 1 front right */
    int min, max;          /* volume range: 0..100, linear gain */
    union {
        int values[2];
        struct {
            int front_left;
            int front_right;
        } names;
    } volume;
    unsigned int mute;
} snd_mixer_group_t;

typedef struct snd_pcm_channel_setup {
    int channel;
    int mode;
    snd_pcm_format_t format;
    union {
        struct {
            int frag_size; /* bytes */
            int frags;
        } block;
    } buf;
    int mixer_device;          /* for snd_mixer_open */
    snd_mixer_gid_t *mixer_gid; /* in: where to store the group id, or NULL */
    snd_mixer_group_t *mixer_group; /* in: group to fill, or NULL */
} snd_pcm_channel_setup_t;

typedef struct snd_pcm_channel_status {
    int channel;
    int status;          /* SND_PCM_STATUS_* */
    int count;           /* bytes queued */
    int free;            /* bytes that a write would take now */
    unsigned int underrun; /* number of underruns so far */
    long long scount;    /* bytes played so far */
} snd_pcm_channel_status_t;

typedef struct snd_mixer_callbacks {
    void *private_data;
    void (*rebuild)(void *private_data);
    void (*element)(void *private_data, int cmd, void *eid);
    void (*group)(void *private_data, int cmd, snd_mixer_gid_t *gid);
} snd_mixer_callbacks_t;

/* All calls return 0 (or a byte count) on success and a negative errno
 * value on failure, with errno set as well. */
KODO_HOST_API int snd_pcm_open_preferred(snd_pcm_t **handle, int *rcard, int *rdevice, int mode);
KODO_HOST_API int snd_pcm_close(snd_pcm_t *handle);
KODO_HOST_API int snd_pcm_plugin_set_disable(snd_pcm_t *handle, unsigned int plugins);
KODO_HOST_API int snd_pcm_nonblock_mode(snd_pcm_t *handle, int nonblock);
KODO_HOST_API int snd_pcm_plugin_info(snd_pcm_t *handle, snd_pcm_channel_info_t *info);
KODO_HOST_API int snd_pcm_plugin_params(snd_pcm_t *handle, snd_pcm_channel_params_t *params);
KODO_HOST_API int snd_pcm_plugin_prepare(snd_pcm_t *handle, int channel);
KODO_HOST_API int snd_pcm_plugin_setup(snd_pcm_t *handle, snd_pcm_channel_setup_t *setup);
KODO_HOST_API ssize_t snd_pcm_plugin_write(snd_pcm_t *handle, const void *buffer, size_t size);
KODO_HOST_API int snd_pcm_plugin_status(snd_pcm_t *handle, snd_pcm_channel_status_t *status);
/* Stops the stream at once and discards what is queued (state READY). */
KODO_HOST_API int snd_pcm_plugin_playback_drain(snd_pcm_t *handle);

KODO_HOST_API int snd_mixer_open(snd_mixer_t **handle, int card, int device);
KODO_HOST_API int snd_mixer_close(snd_mixer_t *handle);
/* Delivers pending mixer events; the host mixer has none (returns 0). */
KODO_HOST_API int snd_mixer_read(snd_mixer_t *handle, snd_mixer_callbacks_t *callbacks);
KODO_HOST_API int snd_mixer_group_read(snd_mixer_t *handle, snd_mixer_group_t *group);
KODO_HOST_API int snd_mixer_group_write(snd_mixer_t *handle, snd_mixer_group_t *group);

KODO_HOST_API const char *snd_strerror(int errnum);

KODO_HOST_END

#endif
