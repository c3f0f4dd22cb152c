// orvanta-service under 8 concurrent clients on keep-alive connections: requests per second of
// "/me", and what "/transcribe" adds around a back end that answers at once (a stand-in
// chat-completions endpoint in this program). Needs ffmpeg to make the recording.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string base64(const std::string &bytes) {
    static const char *alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            out += alphabet[(n >> shift) & 63];
    }
    if (i < bytes.size()) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

class Fixture {
public:
    Fixture() {
        char folder[] = "/tmp/orvanta-service-bench-XXXXXX";
        m_folder = mkdtemp(folder);
        startUpstream();
        const std::string config = m_folder + "/service.ini";
        std::ofstream(config) << "[upstream]\nbase_url=http://127.0.0.1:" << m_upstreamPort
                              << "/v1\nmodels=bench-model\n";
        const std::string audio = m_folder + "/speech.m4a";
        const std::string make =
            "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=5"
            " -ac 1 -ar 16000 -c:a aac -b:a 32k " +
            audio;
        const std::string addUser = "echo bench-password | " ORVANTA_SERVICE_EXECUTABLE
                                    " add-user bench@example.org --limit 1000000000 --data " +
                                    m_folder + "/data >/dev/null";
        if (std::system(make.c_str()) != 0 || std::system(addUser.c_str()) != 0)
            std::abort();
        m_body = R"({"audio_base64":")" + base64(readFile(audio)) +
                 R"(","format":"m4a","model":"bench-model","language":"auto","mode":"clean",)"
                 R"("dictionary":[],"instructions":""})";
        startService(config);
        httplib::Client client("127.0.0.1", m_port);
        const auto answer = client.Post("/signin", httplib::Params{{"email", "bench@example.org"},
                                                                   {"password", "bench-password"}});
        const std::string location = answer ? answer->get_header_value("Location") : "";
        const auto start = location.find("access_token=") + 13;
        m_token = location.substr(start, location.find('&', start) - start);
    }

    ~Fixture() {
        kill(m_service, SIGTERM);
        waitpid(m_service, nullptr, 0);
        m_upstream.stop();
        m_upstreamThread.join();
        std::system(("rm -rf " + m_folder).c_str());
    }

    httplib::Client client() const {
        httplib::Client client("127.0.0.1", m_port);
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        return client;
    }
    httplib::Headers auth() const { return {{"Authorization", "Bearer " + m_token}}; }
    const std::string &body() const { return m_body; }

private:
    void startUpstream() {
        m_upstream.Post(
            "/v1/chat/completions", [](const httplib::Request &, httplib::Response &res) {
                res.set_content(
                    R"({"choices":[{"message":{"content":"A short benchmark sentence."}}]})",
                    "application/json");
            });
        m_upstreamPort = m_upstream.bind_to_any_port("127.0.0.1");
        m_upstreamThread = std::thread([this] { m_upstream.listen_after_bind(); });
        while (!m_upstream.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    void startService(const std::string &config) {
        int output[2];
        if (pipe(output) != 0)
            std::abort();
        m_service = fork();
        if (m_service == 0) {
            dup2(output[1], STDOUT_FILENO);
            execl(ORVANTA_SERVICE_EXECUTABLE, "orvanta-service", "--port", "0", "--data",
                  (m_folder + "/data").c_str(), "--backend", "upstream", "--config", config.c_str(),
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(output[1]);
        std::string line;
        char c = 0;
        while (read(output[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(output[0]);
        const auto colon = line.rfind(':');
        m_port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        if (m_port <= 0)
            std::abort();
    }

    std::string m_folder;
    httplib::Server m_upstream;
    std::thread m_upstreamThread;
    int m_upstreamPort = 0;
    pid_t m_service = -1;
    int m_port = 0;
    std::string m_token;
    std::string m_body;
};

Fixture &fixture() {
    static Fixture instance;
    return instance;
}

void BM_Me(benchmark::State &state) {
    auto client = fixture().client();
    const auto headers = fixture().auth();
    for (auto _ : state) {
        const auto answer = client.Get("/me", headers);
        if (!answer || answer->status != 200)
            state.SkipWithError("/me failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Me)->Threads(8)->UseRealTime();

// The back end answers at once, so the time per request is what the service itself adds:
// token check, usage, Base64 and M4A decoding of 5 s of audio, the upstream request.
void BM_TranscribeAddedLatency(benchmark::State &state) {
    auto client = fixture().client();
    const auto headers = fixture().auth();
    for (auto _ : state) {
        const auto answer =
            client.Post("/transcribe", headers, fixture().body(), "application/json");
        if (!answer || answer->status != 200)
            state.SkipWithError("/transcribe failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranscribeAddedLatency)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);

// One client alone: the latency without queueing behind the others.
BENCHMARK(BM_TranscribeAddedLatency)->Threads(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
