// A real Prometheus server, started on 127.0.0.1 with a port and storage of
// its own, scrapes the gateway; its query API answers for every unit.
#include <gtest/gtest.h>

#include <QJsonArray>

#include <set>

#include "ServeTestSupport.h"
#include "sim/Simulator.h"

using namespace serve_test;

namespace {

TEST(PrometheusTest, ScrapesTheGatewayAndAnswersForEveryUnit) {
    auto simulator = startSimulator(2, 3);
    custovia::sim::Simulator& sim = *simulator;
    Gateway gateway({"--host", sim.url(0), "--host", sim.url(1)});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();

    TempDir dir;
    std::string target = gateway.url.substr(std::string("http://").size());
    std::string config = dir.file("prometheus.yml",
                                  "global:\n"
                                  "  scrape_interval: 1s\n"
                                  "scrape_configs:\n"
                                  "  - job_name: custovia\n"
                                  "    static_configs:\n"
                                  "      - targets: ['" +
                                      target + "']\n");
    int port = freePort();
    Child prometheus("prometheus",
                     {"--config.file=" + config, "--storage.tsdb.path=" + dir.path() + "/data",
                      "--web.listen-address=127.0.0.1:" + std::to_string(port)});
    httplib::Client api("127.0.0.1", port);
    api.set_read_timeout(10, 0);

    std::set<std::string> ids;
    for (int h = 0; h < 2; ++h) {
        for (const auto& id : sim.deviceIds("localhost", h)) {
            ids.insert(id);
        }
    }
    std::set<std::string> answered;
    QJsonObject last;
    bool all = waitUntil(
        [&] {
            auto r = api.Get("/api/v1/query?query=custovia_battery_charge_ratio");
            if (!r || r->status != 200) {
                return false;
            }
            last = jsonOf(r->body);
            answered.clear();
            for (const auto& s : last["data"].toObject()["result"].toArray()) {
                QJsonObject metric = s.toObject()["metric"].toObject();
                double value = s.toObject()["value"].toArray()[1].toString().toDouble();
                if (metric["job"].toString() == "custovia" && value > 0 && value <= 1) {
                    answered.insert(metric["device"].toString().toStdString());
                }
            }
            return answered == ids;
        },
        60);
    EXPECT_TRUE(all) << QJsonDocument(last).toJson().toStdString() << prometheus.err();

    // The scrape itself is healthy.
    auto up = api.Get("/api/v1/query?query=up%7Bjob%3D%22custovia%22%7D");
    ASSERT_TRUE(up);
    QJsonArray result = jsonOf(up->body)["data"].toObject()["result"].toArray();
    ASSERT_EQ(result.size(), 1);
    EXPECT_EQ(result[0].toObject()["value"].toArray()[1].toString(), "1");
}

}  // namespace
