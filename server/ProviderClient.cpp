#include "ProviderClient.h"

#include "ServiceLogging.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

#include <algorithm>

namespace {

// The provider's own message, when its answer carries one ({"error": {"message": …}} or
// {"error": "…"}); otherwise the start of the answer itself.
std::string providerMessage(const std::string &body) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body));
    const QJsonValue error = document.object().value(QStringLiteral("error"));
    QString message = error.isObject()
                          ? error.toObject().value(QStringLiteral("message")).toString()
                          : error.toString();
    if (message.isEmpty())
        message = QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size()));
    return message.simplified().left(200).toStdString();
}

template <typename Send>
ProviderClient::Reply exchange(const std::string &origin, const std::string &apiKey,
                               int timeoutSeconds, Send send) {
    httplib::Client client(origin);
    const time_t timeout = timeoutSeconds;
    client.set_connection_timeout(std::min<time_t>(timeout, 10), 0);
    client.set_read_timeout(timeout, 0);
    client.set_write_timeout(timeout, 0);
    httplib::Headers headers;
    if (!apiKey.empty())
        headers.emplace("Authorization", "Bearer " + apiKey);
    const httplib::Result answer = send(client, headers);
    if (!answer) {
        const auto error = answer.error();
        qCWarning(lcBackend) << "Provider request failed:" << httplib::to_string(error).c_str();
        if (error == httplib::Error::Read || error == httplib::Error::Write ||
            error == httplib::Error::ConnectionTimeout)
            return {{},
                    TranscriptionResult::failure(
                        504, "The transcription provider did not answer within " +
                                 std::to_string(timeout) + " seconds.")};
        return {{},
                TranscriptionResult::failure(502, "The transcription provider cannot be reached (" +
                                                      httplib::to_string(error) + ").")};
    }
    if (answer->status < 200 || answer->status > 299) {
        qCWarning(lcBackend) << "Provider answered" << answer->status;
        return {{},
                TranscriptionResult::failure(502, "The transcription provider failed (" +
                                                      std::to_string(answer->status) +
                                                      "): " + providerMessage(answer->body))};
    }
    return {answer->body, {}};
}

} // namespace

ProviderClient::ProviderClient(const std::string &baseUrl, std::string apiKey)
    : m_apiKey(std::move(apiKey)) {
    const QUrl base(QString::fromStdString(baseUrl), QUrl::StrictMode);
    m_origin = base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                             QUrl::RemoveUserInfo)
                   .toString()
                   .toStdString();
    m_basePath = base.path().toStdString();
}

ProviderClient::Reply ProviderClient::postJson(const std::string &path, const std::string &body,
                                               int timeoutSeconds) const {
    return exchange(m_origin, m_apiKey, timeoutSeconds,
                    [&](httplib::Client &client, const httplib::Headers &headers) {
                        return client.Post(m_basePath + path, headers, body, "application/json");
                    });
}

ProviderClient::Reply ProviderClient::postForm(const std::string &path,
                                               const std::vector<FormField> &fields,
                                               int timeoutSeconds) const {
    httplib::MultipartFormDataItems items;
    for (const FormField &field : fields)
        items.push_back({field.name, field.content, field.filename, field.contentType});
    return exchange(m_origin, m_apiKey, timeoutSeconds,
                    [&](httplib::Client &client, const httplib::Headers &headers) {
                        return client.Post(m_basePath + path, headers, items);
                    });
}
