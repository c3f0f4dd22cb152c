#include "M4aWriter.h"

#include "FfmpegLibrary.h"

#include <algorithm>
#include <cstring>

namespace orvanta {

namespace {

QString describe(const FfmpegLibrary &ff, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    ff.av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

M4aWriter::~M4aWriter() {
    release();
}

bool M4aWriter::fail(const QString &what, int code) {
    m_failed = true;
    m_error = code < 0 && m_ff ? what + QStringLiteral(": ") + describe(*m_ff, code) : what;
    return false;
}

bool M4aWriter::open(const QString &path) {
    release();
    QString notLoaded;
    m_ff = FfmpegLibrary::get(&notLoaded);
    if (!m_ff)
        return fail(notLoaded, 0);
    const QByteArray file = path.toUtf8();
    int result = m_ff->avformat_alloc_output_context2(&m_format, nullptr, "ipod", file.constData());
    if (result < 0 || !m_format)
        return fail(QStringLiteral("no M4A muxer"), result);
    const AVCodec *aac = m_ff->avcodec_find_encoder_by_name("aac");
    if (!aac)
        return fail(QStringLiteral("no AAC encoder"), 0);
    m_stream = m_ff->avformat_new_stream(m_format, nullptr);
    m_codec = m_ff->avcodec_alloc_context3(aac);
    m_frame = m_ff->av_frame_alloc();
    m_packet = m_ff->av_packet_alloc();
    if (!m_stream || !m_codec || !m_frame || !m_packet)
        return fail(QStringLiteral("out of memory"), 0);

    m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_codec->sample_rate = sampleRate;
    m_codec->bit_rate = bitRate;
    m_codec->profile = FF_PROFILE_AAC_LOW;
    m_codec->time_base = AVRational{1, sampleRate};
    m_ff->av_channel_layout_default(&m_codec->ch_layout, 1);
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((result = m_ff->avcodec_open2(m_codec, aac, nullptr)) < 0)
        return fail(QStringLiteral("cannot start the AAC encoder"), result);
    if ((result = m_ff->avcodec_parameters_from_context(m_stream->codecpar, m_codec)) < 0)
        return fail(QStringLiteral("cannot describe the audio track"), result);
    m_stream->time_base = m_codec->time_base;

    m_frame->format = m_codec->sample_fmt;
    m_frame->sample_rate = sampleRate;
    m_frame->nb_samples = m_codec->frame_size;
    if ((result = m_ff->av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout)) < 0 ||
        (result = m_ff->av_frame_get_buffer(m_frame, 0)) < 0)
        return fail(QStringLiteral("out of memory"), result);

    if ((result = m_ff->avio_open(&m_format->pb, file.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("cannot create ") + path, result);
    if ((result = m_ff->avformat_write_header(m_format, nullptr)) < 0)
        return fail(QStringLiteral("cannot write the file header"), result);
    m_headerWritten = true;
    m_pending.reserve(static_cast<std::size_t>(m_codec->frame_size) * 2);
    return true;
}

bool M4aWriter::write(const float *samples, std::size_t count) {
    if (!m_headerWritten || m_failed)
        return false;
    m_pending.insert(m_pending.end(), samples, samples + count);
    m_samplesWritten += static_cast<std::int64_t>(count);
    return encodePending(false);
}

bool M4aWriter::encodePending(bool final) {
    const auto frameSize = static_cast<std::size_t>(m_codec->frame_size);
    std::size_t consumed = 0;
    while (m_pending.size() - consumed >= frameSize || (final && m_pending.size() > consumed)) {
        const std::size_t count = std::min(frameSize, m_pending.size() - consumed);
        int result = m_ff->av_frame_make_writable(m_frame);
        if (result < 0)
            return fail(QStringLiteral("out of memory"), result);
        m_frame->nb_samples = static_cast<int>(count);
        std::memcpy(m_frame->data[0], m_pending.data() + consumed, count * sizeof(float));
        m_frame->pts = m_nextPts;
        m_nextPts += static_cast<std::int64_t>(count);
        consumed += count;
        if (!encode(m_frame))
            return false;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(consumed));
    return true;
}

bool M4aWriter::encode(const AVFrame *frame) {
    int result = m_ff->avcodec_send_frame(m_codec, frame);
    if (result < 0)
        return fail(QStringLiteral("the AAC encoder refused audio"), result);
    while ((result = m_ff->avcodec_receive_packet(m_codec, m_packet)) >= 0) {
        m_ff->av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        if ((result = m_ff->av_interleaved_write_frame(m_format, m_packet)) < 0)
            return fail(QStringLiteral("cannot write audio"), result);
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        return fail(QStringLiteral("the AAC encoder failed"), result);
    return true;
}

bool M4aWriter::finish() {
    if (!m_headerWritten || m_failed) {
        release();
        return false;
    }
    bool ok = encodePending(true) && encode(nullptr);
    if (ok) {
        const int result = m_ff->av_write_trailer(m_format);
        if (result < 0)
            ok = fail(QStringLiteral("cannot write the file index"), result);
    }
    if (ok) {
        const int result = m_ff->avio_closep(&m_format->pb);
        if (result < 0)
            ok = fail(QStringLiteral("cannot close the file"), result);
    }
    release();
    return ok;
}

void M4aWriter::abort() {
    release();
}

void M4aWriter::release() {
    if (m_ff) {
        if (m_format && m_format->pb)
            m_ff->avio_closep(&m_format->pb);
        m_ff->avformat_free_context(m_format);
        m_ff->avcodec_free_context(&m_codec);
        m_ff->av_frame_free(&m_frame);
        m_ff->av_packet_free(&m_packet);
    }
    m_format = nullptr;
    m_stream = nullptr;
    m_pending.clear();
    m_headerWritten = false;
}

} // namespace orvanta
