// The dashboard in a real browser: headless Chromium loads it from a running
// gateway; the rendered cards follow an outage and a lost host live, without
// a reload.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "Browser.h"
#include "ServeTestSupport.h"
#include "sim/Simulator.h"

using namespace serve_test;

namespace {

// Every card as [device, state, state text], and the banners' texts.
const char kCards[] =
    "JSON.stringify({cards: [...document.querySelectorAll('.card')].map(c => [c.dataset.device,"
    " c.dataset.state, c.querySelector('.state').textContent]),"
    " banners: [...document.querySelectorAll('#banners .banner')].map(b => b.textContent),"
    " live: document.getElementById('live').textContent})";

TEST(DashboardTest, CardsShowEveryUnitAndFollowAnOutageAndALostHostLive) {
    auto simulator = startSimulator(2, 2);
    custovia::sim::Simulator& sim = *simulator;
    Gateway gateway({"--host", sim.url(0), "--host", sim.url(1), "--unreachable-after", "1"});
    ASSERT_FALSE(gateway.url.empty()) << gateway.process->err();

    Browser browser;
    ASSERT_TRUE(browser.ready()) << "chromium did not start";
    browser.open(gateway.url + "/");
    QJsonObject page;
    auto look = [&] {
        page = jsonOf(browser.evaluate(kCards).toString().toStdString());
        return page;
    };
    auto cardsAre = [&](const std::function<bool(const QJsonArray&)>& each) {
        QJsonArray cards = look()["cards"].toArray();
        if (cards.size() != 4) {
            return false;
        }
        for (const auto& c : cards) {
            if (!each(c.toArray())) {
                return false;
            }
        }
        return true;
    };
    ASSERT_TRUE(waitUntil([&] {
        return cardsAre([](const QJsonArray& c) { return !c[2].toString().isEmpty(); }) &&
               page["live"].toString() == "live";
    })) << QJsonDocument(page).toJson().toStdString();
    std::set<std::string> shown;
    for (const auto& c : page["cards"].toArray()) {
        shown.insert(c.toArray()[0].toString().toStdString());
    }
    std::set<std::string> ids;
    for (int h = 0; h < 2; ++h) {
        for (const auto& id : sim.deviceIds("localhost", h)) {
            ids.insert(id);
        }
    }
    EXPECT_EQ(shown, ids);
    EXPECT_TRUE(page["banners"].toArray().isEmpty());

    // Marks this load of the page: a reload would lose it.
    browser.evaluate("window.sameLoad = 1");
    sim.setOutage(true, "", 0);
    sim.setOutage(true, "", 1);
    EXPECT_TRUE(waitUntil([&] {
        return cardsAre([](const QJsonArray& c) {
            return c[1].toString() == "onBattery" && c[2].toString() == "On battery";
        });
    })) << QJsonDocument(page).toJson().toStdString();

    sim.stop();
    EXPECT_TRUE(waitUntil([&] { return look()["banners"].toArray().size() == 2; }))
        << QJsonDocument(page).toJson().toStdString();
    EXPECT_NE(page["banners"].toArray()[0].toString().indexOf("is unreachable"), -1);
    EXPECT_EQ(browser.evaluate("window.sameLoad").toInt(), 1);
}

}  // namespace
