#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace orvanta {

struct FfmpegLibrary;

// Encodes mono float samples to AAC-LC in an M4A file as they arrive, so that finishing a
// long recording only flushes the last frame and writes the index.
class M4aWriter {
public:
    static constexpr int sampleRate = 16000;
    static constexpr int bitRate = 32000;

    M4aWriter() = default;
    ~M4aWriter();
    M4aWriter(const M4aWriter &) = delete;
    M4aWriter &operator=(const M4aWriter &) = delete;

    // Creates the file and writes its header.
    bool open(const QString &path);
    bool write(const float *samples, std::size_t count);
    // Encodes what is left, writes the index and closes the file.
    bool finish();
    // Closes the file as it is (unplayable); the caller deletes it.
    void abort();

    std::int64_t samplesWritten() const { return m_samplesWritten; }
    QString errorText() const { return m_error; }

private:
    bool encodePending(bool final);
    bool encode(const AVFrame *frame);
    bool fail(const QString &what, int code);
    void release();

    const FfmpegLibrary *m_ff = nullptr; // loaded by the first open
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVStream *m_stream = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    std::vector<float> m_pending;
    std::int64_t m_nextPts = 0;
    std::int64_t m_samplesWritten = 0;
    bool m_headerWritten = false;
    bool m_failed = false;
    QString m_error;
};

} // namespace orvanta
