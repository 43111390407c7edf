// The server's metrics: what its /metrics page says after a few calls, and a
// real Prometheus scraping a real appserver and answering a query about it.
#include "ServerFixture.h"

#include "server/ServerMetrics.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The body of an HTTP GET of path from 127.0.0.1:port; empty when nothing
// answers or the answer is no 200.
std::string HttpGet(int port, const std::string& path)
{
    try {
        asio::io_context ioc;
        asio::ip::tcp::socket socket(ioc);
        socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        asio::write(socket, asio::buffer(request));
        std::string response;
        asio::error_code ec;
        asio::read(socket, asio::dynamic_buffer(response), ec);
        const size_t body = response.find("\r\n\r\n");
        if (response.rfind("HTTP/1.1 200", 0) != 0 && response.rfind("HTTP/1.0 200", 0) != 0) {
            return {};
        }
        return body == std::string::npos ? std::string() : response.substr(body + 4);
    } catch (const std::exception&) {
        return {};
    }
}

// The value of the sample series (its name and labels as the text format
// writes them) on a metrics page; -1 when the page has no such line.
double Sample(const std::string& page, const std::string& series)
{
    const std::string head = series + " ";
    for (size_t at = page.find(head); at != std::string::npos; at = page.find(head, at + 1)) {
        if (at == 0 || page[at - 1] == '\n') {
            return std::stod(page.substr(at + head.size()));
        }
    }
    return -1;
}

// A port no one listens on now.
int FreePort()
{
    asio::io_context ioc;
    asio::ip::tcp::acceptor acceptor(ioc, {asio::ip::make_address("127.0.0.1"), 0});
    return acceptor.local_endpoint().port();
}

class Metrics : public ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        options_.metricsPort = 0;
    }
    std::string Page()
    {
        const std::string address = Server().Server().MetricsAddress();
        return HttpGet(std::stoi(address.substr(address.rfind(':') + 1)), "/metrics");
    }
};

} // namespace

TEST(ServerMetricsAddress, APortAloneIsLoopbacksAndAnythingElseMustBeHostAndPort)
{
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    for (const Case& c : {Case{"9469", true, "127.0.0.1", 9469}, Case{"0", true, "127.0.0.1", 0},
                          Case{"0.0.0.0:9469", true, "0.0.0.0", 9469}, Case{"[::1]:9469", true, "::1", 9469},
                          Case{"", false, "", 0}, Case{"65536", false, "", 0}, Case{"127.0.0.1", false, "", 0},
                          Case{"127.0.0.1:", false, "", 0}, Case{":9469", false, "", 0}}) {
        std::string host;
        int port = -1;
        EXPECT_EQ(ServerMetrics::ParseAddress(c.text, host, port), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST_P(Metrics, ThePageCountsSessionsHandshakesCallsBatchesAndDatabaseErrorsWithoutEchoingTheWire)
{
    EXPECT_EQ(Packet2("GetCliente", "0001", "").rows.size(), 4u);
    EXPECT_EQ(Packet2("GetCliente", "0002", "").rows.size(), 1u);
    Apply(ChangePacketBuilder().Insert("0001", "00003", "00000001").Build());
    EXPECT_THROW(Call2("DropEverythingNow", "0001", ""), std::exception);
    EXPECT_THROW(Connect("Zel.rdmNoSuchObject"), std::exception);
    db_->ExecScript("DROP TABLE AUDITORIA");
    EXPECT_THROW(Apply(ChangePacketBuilder().Insert("0001", "00001", "00000001").Build()), std::exception);

    const std::string page = Page();
    ASSERT_FALSE(page.empty()) << "nothing answered at " << Server().Server().MetricsAddress();
    EXPECT_EQ(Sample(page, "servcliente_sessions_open"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_handshakes_total{outcome=\"accepted\"}"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_handshakes_total{outcome=\"refused\"}"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_calls_total{method=\"GetCliente\",outcome=\"ok\"}"), 2) << page;
    EXPECT_EQ(Sample(page, "servcliente_calls_total{method=\"ApCoServClie\",outcome=\"ok\"}"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_calls_total{method=\"ApCoServClie\",outcome=\"failed\"}"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_calls_total{method=\"other\",outcome=\"refused\"}"), 1) << page;
    EXPECT_EQ(Sample(page, "servcliente_call_duration_seconds_count{method=\"GetCliente\"}"), 2) << page;
    EXPECT_EQ(Sample(page, "servcliente_call_duration_seconds_bucket{method=\"GetCliente\",le=\"+Inf\"}"), 2) << page;
    // The failed change ran once in its batch and once alone, behind a savepoint.
    EXPECT_GE(Sample(page, "servcliente_group_commit_batch_changes_count"), 2) << page;
    EXPECT_GE(Sample(page, "servcliente_database_errors_total"), 1) << page;
    // A label's value is quoted; a sample's own value may hold any digits.
    for (const char* absent : {"DropEverythingNow", "rdmNoSuchObject", "\"0001\"", "127.0.0.1"}) {
        EXPECT_EQ(page.find(absent), std::string::npos) << absent << " is on the page";
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, Metrics, ::testing::ValuesIn(kEngines),
                         [](const auto& info) { return info.param; });

TEST(PrometheusScrape, ARealPrometheusScrapesTheServerAndAnswersAQueryAboutIt)
{
    std::string prometheus;
    for (const char* candidate : {"/usr/bin/prometheus", "/usr/local/bin/prometheus"}) {
        if (access(candidate, X_OK) == 0) {
            prometheus = candidate;
        }
    }
    if (prometheus.empty()) {
        GTEST_SKIP() << "no prometheus program (apt-get install prometheus; scripts/install-deps.sh does)";
    }
    char dir[] = "/tmp/servcliente-prometheus-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string tmp = dir;
    {
        AppServerProcess seed({"seed", "--db", tmp + "/server.db", "--local-db", tmp + "/local.db"});
        ASSERT_EQ(seed.Wait(), 0);
    }
    AppServerProcess server({"--db", tmp + "/server.db", "--listen", "127.0.0.1:0", "--metrics-listen", "0"},
                            tmp + "/server.log");
    const int port = server.ListeningPort();
    ASSERT_NE(port, 0) << FileText(tmp + "/server.log");
    const std::string metricsLine = server.ReadLine();
    const std::string head = "metrics on http://127.0.0.1:";
    ASSERT_EQ(metricsLine.rfind(head, 0), 0u) << metricsLine;
    const int metricsPort = std::stoi(metricsLine.substr(head.size()));
    {
        auto client = OpenAs(port, "", "");
        std::vector<RemoteArg> args = {RemoteArg::Text("0001"), RemoteArg::Text("")};
        for (int i = 0; i < 3; ++i) {
            client->Call("GetCliente", args);
        }
    }

    const int webPort = FreePort();
    // The scrape configuration and the alert rules as the README gives them.
    std::ofstream(tmp + "/prometheus.yml") << "global:\n  scrape_interval: 1s\nrule_files:\n  - " << TEST_SOURCE_DIR
                                           << "/packaging/prometheus-alerts.yml\nscrape_configs:\n"
                                           << "  - job_name: servcliente\n    static_configs:\n"
                                           << "      - targets: ['127.0.0.1:" << metricsPort << "']\n";
    const pid_t pid = fork();
    if (pid == 0) {
        const int log = open((tmp + "/prometheus.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        const std::string config = "--config.file=" + tmp + "/prometheus.yml";
        const std::string storage = "--storage.tsdb.path=" + tmp + "/data";
        const std::string web = "--web.listen-address=127.0.0.1:" + std::to_string(webPort);
        execl(prometheus.c_str(), prometheus.c_str(), config.c_str(), storage.c_str(), web.c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    auto stop = std::shared_ptr<void>(nullptr, [&](void*) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        std::filesystem::remove_all(tmp);
    });

    // Scraped once a second once Prometheus is up; a minute covers a slow start.
    const std::string query = "/api/v1/query?query=servcliente_calls_total%7Bjob%3D%22servcliente%22%2C"
                              "method%3D%22GetCliente%22%2Coutcome%3D%22ok%22%7D";
    std::string value;
    for (int i = 0; i < 600 && value.empty(); ++i) {
        const std::string body = HttpGet(webPort, query);
        if (!body.empty()) {
            const auto answer = nlohmann::json::parse(body);
            if (answer.at("status") == "success" && !answer.at("data").at("result").empty()) {
                value = answer.at("data").at("result").at(0).at("value").at(1).get<std::string>();
            }
        }
        if (value.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EXPECT_EQ(value, "3") << FileText(tmp + "/prometheus.log");
    const std::string rules = HttpGet(webPort, "/api/v1/rules");
    for (const char* alert : {"\"ServClienteDown\"", "\"ServClienteDatabaseErrors\""}) {
        EXPECT_NE(rules.find(alert), std::string::npos) << alert << " is not loaded: " << rules;
    }
}
