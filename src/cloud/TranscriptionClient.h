#pragma once

#include "Ports.h"

#include <QObject>

namespace orvanta {

class Transcriber;

// Lets the controller reach the Transcriber through its transcription port.
class TranscriptionClient : public QObject, public TranscriptionPort {
    Q_OBJECT

public:
    explicit TranscriptionClient(Transcriber &transcriber, QObject *parent = nullptr);

    // `done` runs once on the main thread, never before this call has returned, and not at all
    // once this client is gone.
    void transcribe(const QString &audioFile,
                    std::function<void(TranscriptionResult)> done) override;

private:
    Transcriber &m_transcriber;
};

} // namespace orvanta
