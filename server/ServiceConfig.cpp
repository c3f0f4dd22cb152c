#include "ServiceConfig.h"

#include <QFileInfo>
#include <QSettings>

#include <arpa/inet.h>
#include <cstdlib>
#include <string_view>

namespace {

std::string text(const QSettings &ini, const char *key, const std::string &fallback) {
    const QVariant value = ini.value(QString::fromUtf8(key));
    if (!value.isValid())
        return fallback;
    return value.toStringList().join(QStringLiteral(",")).trimmed().toStdString();
}

std::optional<long long> number(const QSettings &ini, const char *key, long long fallback,
                                std::string &error) {
    const QVariant value = ini.value(QString::fromUtf8(key));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const long long parsed = value.toString().trimmed().toLongLong(&ok);
    if (!ok || parsed < 0) {
        error = std::string("setting ") + key + " must be a number of 0 or more";
        return std::nullopt;
    }
    return parsed;
}

std::vector<std::string> list(const QSettings &ini, const char *key) {
    std::vector<std::string> items;
    for (const QString &item : ini.value(QString::fromUtf8(key)).toStringList())
        if (!item.trimmed().isEmpty())
            items.push_back(item.trimmed().toStdString());
    return items;
}

bool readFile(ServiceConfig &config, const std::string &path, std::string &error) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isReadable()) {
        error = "cannot read the settings file " + path;
        return false;
    }
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        error = "the settings file " + path + " is not a valid INI file";
        return false;
    }
    config.listen = text(ini, "service/listen", config.listen);
    config.dataDir = text(ini, "service/data", config.dataDir);
    config.backend = text(ini, "service/backend", config.backend);
    config.localUser = text(ini, "service/local_user", config.localUser);
    const auto port = number(ini, "service/port", config.port, error);
    const auto freeLimit = number(ini, "plans/free_limit", config.freeLimit, error);
    const auto proLimit = number(ini, "plans/pro_limit", config.proLimit, error);
    const auto timeout =
        number(ini, "upstream/timeout_seconds", config.upstream.timeoutSeconds, error);
    const auto whisperTimeout =
        number(ini, "whisper/timeout_seconds", config.whisper.timeoutSeconds, error);
    if (!port || !freeLimit || !proLimit || !timeout || !whisperTimeout)
        return false;
    config.port = static_cast<int>(*port);
    config.freeLimit = *freeLimit;
    config.proLimit = *proLimit;
    config.upstream.timeoutSeconds = static_cast<int>(*timeout);
    config.upstream.baseUrl = text(ini, "upstream/base_url", {});
    config.upstream.apiKey = text(ini, "upstream/api_key", {});
    config.upstream.models = list(ini, "upstream/models");
    config.whisper.timeoutSeconds = static_cast<int>(*whisperTimeout);
    config.whisper.baseUrl = text(ini, "whisper/base_url", {});
    config.whisper.apiKey = text(ini, "whisper/api_key", {});
    config.whisper.model = text(ini, "whisper/model", config.whisper.model);
    config.whisper.audio = text(ini, "whisper/audio", config.whisper.audio);
    config.local.acousticModel = text(ini, "local/acoustic_model", config.local.acousticModel);
    config.local.dictionary = text(ini, "local/dictionary", config.local.dictionary);
    config.local.languageModel = text(ini, "local/language_model", config.local.languageModel);
    config.local.grammar = text(ini, "local/grammar", {});
    return true;
}

bool isHttpUrl(const std::string &url) {
    return url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0;
}

std::string validateUpstream(const UpstreamSettings &up) {
    if (!isHttpUrl(up.baseUrl))
        return "the upstream back end needs [upstream] base_url (http:// or https://)";
    if (up.models.empty())
        return "the upstream back end needs [upstream] models, the identifiers clients may "
               "choose";
    if (up.timeoutSeconds < 1 || up.timeoutSeconds > 55)
        return "[upstream] timeout_seconds must be from 1 to 55 (clients wait 60 s)";
    return {};
}

std::string validateWhisper(const ServiceConfig &config) {
    const WhisperSettings &whisper = config.whisper;
    if (!isHttpUrl(whisper.baseUrl))
        return "the whisper back end needs [whisper] base_url (http:// or https://)";
    if (whisper.model.empty())
        return "the whisper back end needs [whisper] model";
    if (whisper.timeoutSeconds < 1 || whisper.timeoutSeconds > 55)
        return "[whisper] timeout_seconds must be from 1 to 55 (clients wait 60 s)";
    if (whisper.audio != "wav" && whisper.audio != "m4a")
        return "[whisper] audio must be wav or m4a, not \"" + whisper.audio + "\"";
    // Rewriting by a chat-completions endpoint is optional; when named, it must be usable.
    if (!config.upstream.baseUrl.empty())
        return validateUpstream(config.upstream);
    return {};
}

void trimBaseUrl(std::string &url, std::string_view suffix = {}) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    if (!suffix.empty() && url.size() > suffix.size() &&
        url.compare(url.size() - suffix.size(), suffix.size(), suffix) == 0)
        url.resize(url.size() - suffix.size());
}

std::string validate(const ServiceConfig &config) {
    if (config.port < 0 || config.port > 65535)
        return "the port must be from 0 to 65535";
    if (config.backend != "local" && config.backend != "upstream" && config.backend != "whisper")
        return "the back end must be local, upstream or whisper, not \"" + config.backend + "\"";
    if (!config.localUser.empty() && !ServiceConfig::isLoopbackAddress(config.listen))
        return "--local-user signs anyone in who reaches the service: it needs a loopback "
               "--listen address (127.0.0.1, ::1 or localhost)";
    if (config.backend == "upstream")
        return validateUpstream(config.upstream);
    if (config.backend == "whisper")
        return validateWhisper(config);
    return {};
}

} // namespace

std::optional<ServiceConfig> ServiceConfig::load(const CommandLine &line, std::string &error) {
    ServiceConfig config;
    config.dataDir = defaultDataDir();
    config.local.acousticModel = ORVANTA_POCKETSPHINX_MODEL_DIR "/en-us";
    config.local.dictionary = ORVANTA_POCKETSPHINX_MODEL_DIR "/cmudict-en-us.dict";
    config.local.languageModel = ORVANTA_POCKETSPHINX_MODEL_DIR "/en-us.lm.bin";
    if (line.configFile && !readFile(config, *line.configFile, error))
        return std::nullopt;
    if (const char *key = std::getenv("ORVANTA_UPSTREAM_API_KEY"); key && *key)
        config.upstream.apiKey = key;
    if (const char *key = std::getenv("ORVANTA_WHISPER_API_KEY"); key && *key)
        config.whisper.apiKey = key;
    config.listen = line.listen.value_or(config.listen);
    config.port = line.port.value_or(config.port);
    config.dataDir = line.dataDir.value_or(config.dataDir);
    config.backend = line.backend.value_or(config.backend);
    config.localUser = line.localUser.value_or(config.localUser);
    trimBaseUrl(config.upstream.baseUrl);
    trimBaseUrl(config.whisper.baseUrl, "/v1");
    error = validate(config);
    if (!error.empty())
        return std::nullopt;
    return config;
}

std::string ServiceConfig::defaultDataDir() {
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return std::string(dataHome) + "/orvanta-service";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/orvanta-service";
}

bool ServiceConfig::isLoopbackAddress(const std::string &address) {
    in_addr ipv4{};
    if (inet_pton(AF_INET, address.c_str(), &ipv4) == 1)
        return (ntohl(ipv4.s_addr) >> 24) == 127;
    return address == "localhost" || address == "::1";
}

long long ServiceConfig::defaultLimit(const std::string &plan) const {
    return plan == "pro" ? proLimit : freeLimit;
}
