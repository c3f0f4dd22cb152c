#pragma once

#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace orvanta {

// The FFmpeg functions the M4A writer calls, loaded at its first use rather than at start-up:
// the encoding libraries bring some eighty codec libraries with them, which would otherwise
// sit in the memory of an idle process. Loaded once per process and never unloaded.
#define ORVANTA_FFMPEG_FUNCTIONS(F)                                                                \
    F(av_channel_layout_copy)                                                                      \
    F(av_channel_layout_default)                                                                   \
    F(av_frame_alloc)                                                                              \
    F(av_frame_free)                                                                               \
    F(av_frame_get_buffer)                                                                         \
    F(av_frame_make_writable)                                                                      \
    F(av_interleaved_write_frame)                                                                  \
    F(av_log_set_level)                                                                            \
    F(av_packet_alloc)                                                                             \
    F(av_packet_free)                                                                              \
    F(av_packet_rescale_ts)                                                                        \
    F(av_strerror)                                                                                 \
    F(av_write_trailer)                                                                            \
    F(avcodec_alloc_context3)                                                                      \
    F(avcodec_find_encoder_by_name)                                                                \
    F(avcodec_free_context)                                                                        \
    F(avcodec_open2)                                                                               \
    F(avcodec_parameters_from_context)                                                             \
    F(avcodec_receive_packet)                                                                      \
    F(avcodec_send_frame)                                                                          \
    F(avformat_alloc_output_context2)                                                              \
    F(avformat_free_context)                                                                       \
    F(avformat_new_stream)                                                                         \
    F(avformat_write_header)                                                                       \
    F(avio_closep)                                                                                 \
    F(avio_open)

struct FfmpegLibrary {
#define ORVANTA_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    ORVANTA_FFMPEG_FUNCTIONS(ORVANTA_FFMPEG_POINTER)
#undef ORVANTA_FFMPEG_POINTER

    // The libraries of the FFmpeg version this was built against, by their sonames.
    static const char *const sonames[3];

    // Loads the libraries on the first call; nothing when one of them or one of the functions
    // is missing, with `error` telling which (the first failure is kept for every call).
    static const FfmpegLibrary *get(QString *error = nullptr);
};

} // namespace orvanta
