#include "AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace AudioDecoder {

namespace {

struct MemoryReader {
    std::string_view bytes;
    std::int64_t position = 0;
};

int readPacket(void *opaque, uint8_t *buffer, int size) {
    auto *reader = static_cast<MemoryReader *>(opaque);
    const auto left = static_cast<std::int64_t>(reader->bytes.size()) - reader->position;
    if (left <= 0)
        return AVERROR_EOF;
    const int count = static_cast<int>(std::min<std::int64_t>(left, size));
    std::memcpy(buffer, reader->bytes.data() + reader->position, static_cast<size_t>(count));
    reader->position += count;
    return count;
}

std::int64_t seek(void *opaque, std::int64_t offset, int whence) {
    auto *reader = static_cast<MemoryReader *>(opaque);
    const auto size = static_cast<std::int64_t>(reader->bytes.size());
    if (whence == AVSEEK_SIZE)
        return size;
    std::int64_t target = offset;
    if ((whence & ~AVSEEK_FORCE) == SEEK_CUR)
        target = reader->position + offset;
    else if ((whence & ~AVSEEK_FORCE) == SEEK_END)
        target = size + offset;
    if (target < 0 || target > size)
        return AVERROR(EINVAL);
    reader->position = target;
    return target;
}

struct FormatCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct IoCloser {
    void operator()(AVIOContext *io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct CodecCloser {
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct ResamplerCloser {
    void operator()(SwrContext *context) const { swr_free(&context); }
};
struct FrameCloser {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct PacketCloser {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

constexpr const char *notM4a = "The audio is not an M4A recording.";

class Decoding {
public:
    explicit Decoding(std::string_view bytes)
        : m_reader{bytes, 0} {}

    Result run() {
        Result result;
        result.error = open();
        if (result.error.empty())
            result.error = decodeAll(result.samples);
        if (!result.error.empty())
            result.samples.clear();
        return result;
    }

private:
    std::string open() {
        constexpr int bufferSize = 64 * 1024;
        auto *buffer = static_cast<unsigned char *>(av_malloc(bufferSize));
        m_io.reset(avio_alloc_context(buffer, bufferSize, 0, &m_reader, readPacket, nullptr, seek));
        if (!m_io) {
            av_free(buffer);
            return "Out of memory while decoding the audio.";
        }
        AVFormatContext *format = avformat_alloc_context();
        format->pb = m_io.get();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        const AVInputFormat *mp4 = av_find_input_format("mp4");
        if (avformat_open_input(&format, nullptr, mp4, nullptr) < 0)
            return notM4a; // avformat_open_input frees the context on failure
        m_format.reset(format);
        if (avformat_find_stream_info(format, nullptr) < 0)
            return notM4a;
        const AVCodec *codec = nullptr;
        m_stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (m_stream < 0 || !codec)
            return "The M4A file holds no audio track this service can decode.";
        m_codec.reset(avcodec_alloc_context3(codec));
        if (!m_codec ||
            avcodec_parameters_to_context(m_codec.get(), format->streams[m_stream]->codecpar) < 0 ||
            avcodec_open2(m_codec.get(), codec, nullptr) < 0)
            return "The M4A file holds no audio track this service can decode.";
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        SwrContext *resampler = nullptr;
        if (swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_S16, sampleRate,
                                &m_codec->ch_layout, m_codec->sample_fmt, m_codec->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(resampler) < 0) {
            swr_free(&resampler);
            return "The audio's sample format cannot be converted.";
        }
        m_resampler.reset(resampler);
        return {};
    }

    std::string decodeAll(std::vector<std::int16_t> &samples) {
        std::unique_ptr<AVPacket, PacketCloser> packet(av_packet_alloc());
        std::unique_ptr<AVFrame, FrameCloser> frame(av_frame_alloc());
        int read = 0;
        while ((read = av_read_frame(m_format.get(), packet.get())) >= 0) {
            const bool ours = packet->stream_index == m_stream;
            const int sent = ours ? avcodec_send_packet(m_codec.get(), packet.get()) : 0;
            av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN))
                return "The audio data is damaged.";
            if (const std::string error = drain(frame.get(), samples); !error.empty())
                return error;
        }
        if (read != AVERROR_EOF)
            return "The audio data is damaged.";
        avcodec_send_packet(m_codec.get(), nullptr);
        return drain(frame.get(), samples);
    }

    std::string drain(AVFrame *frame, std::vector<std::int16_t> &samples) {
        int received = 0;
        while ((received = avcodec_receive_frame(m_codec.get(), frame)) >= 0) {
            const int room = swr_get_out_samples(m_resampler.get(), frame->nb_samples);
            const std::size_t start = samples.size();
            if (start + static_cast<std::size_t>(std::max(room, 0)) >
                static_cast<std::size_t>(maximumSeconds) * sampleRate)
                return "The recording is longer than 30 minutes.";
            samples.resize(start + static_cast<std::size_t>(std::max(room, 0)));
            auto *out = reinterpret_cast<uint8_t *>(samples.data() + start);
            const int converted =
                swr_convert(m_resampler.get(), &out, room,
                            const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
            av_frame_unref(frame);
            if (converted < 0)
                return "The audio data is damaged.";
            samples.resize(start + static_cast<std::size_t>(converted));
        }
        if (received != AVERROR(EAGAIN) && received != AVERROR_EOF)
            return "The audio data is damaged.";
        return {};
    }

    MemoryReader m_reader;
    std::unique_ptr<AVIOContext, IoCloser> m_io;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecCloser> m_codec;
    std::unique_ptr<SwrContext, ResamplerCloser> m_resampler;
    int m_stream = -1;
};

void appendLittleEndian(std::string &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}

} // namespace

Result decodeM4a(std::string_view bytes) {
    if (bytes.empty())
        return Result{{}, notM4a};
    Decoding decoding(bytes);
    return decoding.run();
}

std::string toWav(const std::vector<std::int16_t> &samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string wav = "RIFF";
    appendLittleEndian(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    appendLittleEndian(wav, 16, 4);
    appendLittleEndian(wav, 1, 2); // PCM
    appendLittleEndian(wav, 1, 2); // mono
    appendLittleEndian(wav, sampleRate, 4);
    appendLittleEndian(wav, sampleRate * 2, 4);
    appendLittleEndian(wav, 2, 2);
    appendLittleEndian(wav, 16, 2);
    wav += "data";
    appendLittleEndian(wav, dataBytes, 4);
    for (const std::int16_t sample : samples)
        appendLittleEndian(wav, static_cast<std::uint16_t>(sample), 2);
    return wav;
}

} // namespace AudioDecoder
