#include "TranscriptionClient.h"

#include "Transcriber.h"

#include <QTimer>

namespace orvanta {

TranscriptionClient::TranscriptionClient(Transcriber &transcriber, QObject *parent)
    : QObject(parent)
    , m_transcriber(transcriber) {}

void TranscriptionClient::transcribe(const QString &audioFile,
                                     std::function<void(TranscriptionResult)> done) {
    QCoro::connect(m_transcriber.transcribe(audioFile), this,
                   [this, done = std::move(done)](const TranscribeOutcome &outcome) {
                       TranscriptionResult result =
                           outcome.succeeded()
                               ? TranscriptionResult::success(outcome.text())
                               : TranscriptionResult::failure(outcome.errorDescription());
                       // An outcome known at once (no service address) still arrives later.
                       QTimer::singleShot(0, this, [done, result] { done(result); });
                   });
}

} // namespace orvanta
