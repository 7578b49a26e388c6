/* Common declaration helpers for the host platform layer's C headers. */
#ifndef KODO_HOST_API_H
#define KODO_HOST_API_H

/* Every entry point of the host layer is hidden: it lives in a static
 * library, and names such as snd_pcm_close or snd_mixer_open must never be
 * exported where a system library loaded at run time could bind to them. */
#if defined(__GNUC__)
#define KODO_HOST_API __attribute__((visibility("hidden")))
#else
#define KODO_HOST_API
#endif

#ifdef __cplusplus
#define KODO_HOST_BEGIN extern "C" {
#define KODO_HOST_END }
#else
#define KODO_HOST_BEGIN
#define KODO_HOST_END
#endif

#endif
