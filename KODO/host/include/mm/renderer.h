/* Music renderer: plays one MP3 track per context into the shared audio
 * mix. Tracks are decoded at 22050 Hz stereo. All calls that return int
 * give -1 (or NULL) with errno set on failure. */
#ifndef KODO_HOST_MM_RENDERER_H
#define KODO_HOST_MM_RENDERER_H

#include <sys/types.h>
#include <host/host_api.h>

KODO_HOST_BEGIN

typedef struct mmr_connection mmr_connection_t;
typedef struct mmr_context mmr_context_t;
typedef struct strm_dict strm_dict_t;

typedef enum {
    MMR_STATE_DESTROYED = 0,
    MMR_STATE_IDLE = 1,    /* no input attached */
    MMR_STATE_STOPPED = 2, /* input attached, not playing */
    MMR_STATE_PLAYING = 3
} mmr_state_t;

typedef struct mmr_error_info {
    unsigned int error_code; /* 0: no error */
    long long position_ms;   /* where the track was when the state changed */
} mmr_error_info_t;

/* Dictionaries: string keys and values. strm_dict_set consumes the
 * dictionary it is given and returns the updated one (NULL on failure, the
 * old one being freed then). */
KODO_HOST_API strm_dict_t *strm_dict_new(void);
KODO_HOST_API strm_dict_t *strm_dict_set(strm_dict_t *dict, const char *key, const char *value);
KODO_HOST_API const char *strm_dict_find_value(const strm_dict_t *dict, const char *key);
KODO_HOST_API int strm_dict_destroy(strm_dict_t *dict);

/* name is ignored (NULL is fine). */
KODO_HOST_API mmr_connection_t *mmr_connect(const char *name);
KODO_HOST_API void mmr_disconnect(mmr_connection_t *connection);

KODO_HOST_API mmr_context_t *mmr_context_create(mmr_connection_t *connection, const char *name,
                                                unsigned int flags, mode_t mode);
KODO_HOST_API int mmr_context_destroy(mmr_context_t *context);

/* Only "audio:default" (type "audio") exists; returns the output id. */
KODO_HOST_API int mmr_output_attach(mmr_context_t *context, const char *url, const char *type);
/* Parameters: "volume" = "0".."100" (linear gain). Takes ownership of
 * parms in every case. */
KODO_HOST_API int mmr_output_parameters(mmr_context_t *context, unsigned int output_id,
                                        strm_dict_t *parms);

/* url: "file://<path>" or a plain path; type "track". The file must be a
 * readable MP3. Returns the input id (0). */
KODO_HOST_API int mmr_input_attach(mmr_context_t *context, const char *url, const char *type);
KODO_HOST_API int mmr_input_detach(mmr_context_t *context);

/* Play from where the track was stopped, or from its start once it has
 * ended. A PLAYING state event follows; the natural end gives a STOPPED
 * event without error. An explicit mmr_stop gives no event. */
KODO_HOST_API int mmr_play(mmr_context_t *context);
KODO_HOST_API int mmr_stop(mmr_context_t *context);

KODO_HOST_END

#endif
