#include "sim/Models.h"

#include <cstring>

namespace custovia {
namespace sim {

const char* const kCapabilityNames[30] = {
    "hasCBattery",        "hasChangeAutonomy", "hasFOutput",
    "hasFamily",          "hasICBattery",      "hasIOutput",
    "hasManualShutdown",  "hasStandBy",        "hasModel",
    "hasNightOff",        "hasNominalFOutput", "hasNominalPOutput",
    "hasNominalVBattery", "hasNominalVInput",  "hasNominalVOutput",
    "hasPOutput",         "hasPowerLook",      "hasSampIOutput",
    "hasSampVInput",      "hasSampVOutput",    "hasSetDischargeBattery",
    "hasSetICBattery",    "hasShutdownTimer",  "hasTemperature",
    "hasVBattery",        "hasVInput",         "hasVOutput",
    "hasVersion",         "hasWakeUp",         "hasSetLineSens",
};

namespace {

std::uint32_t bit(const char* name) {
    for (int i = 0; i < kCapabilityCount; ++i) {
        const char* a = kCapabilityNames[i];
        const char* b = name;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == 0 && *b == 0) {
            return 1u << i;
        }
    }
    return 0;
}

std::uint32_t caps(std::initializer_list<const char*> names) {
    std::uint32_t c = 0;
    for (const char* n : names) {
        c |= bit(n);
    }
    return c;
}

// What every model reports.
std::uint32_t basic() {
    return caps({"hasCBattery", "hasFamily", "hasModel", "hasVersion", "hasVInput", "hasVOutput",
                 "hasVBattery", "hasNominalVInput", "hasNominalVOutput", "hasNominalPOutput",
                 "hasManualShutdown", "hasShutdownTimer"});
}

std::uint32_t full() {
    std::uint32_t all = 0;
    for (int i = 0; i < kCapabilityCount; ++i) {
        all |= 1u << i;
    }
    return all & ~caps({"hasPowerLook", "hasNightOff"});
}

std::vector<ModelInfo> build() {
    const std::uint32_t b = basic();
    const std::uint32_t f = full();
    return {
        {1, 1, "Zephan 650", "zephan", "hid", 0x3A21, 0x0101, 230, 230, 390, 50, 12, 420,
         b | caps({"hasPOutput", "hasFOutput"})},
        {1, 3, "Zephan 1500 Pro", "zephan", "hid", 0x3A21, 0x0103, 230, 230, 900, 50, 24, 540,
         b | caps({"hasPOutput", "hasFOutput", "hasIOutput", "hasTemperature",
                   "hasSetDischargeBattery", "hasSetLineSens", "hasStandBy"})},
        {2, 10, "Corvel RT 2000", "corvel", "cdc", 0x3A22, 0x0210, 230, 230, 1800, 50, 48, 600, f},
        {2, 11, "Corvel RT 3000", "corvel", "cdc", 0x3A22, 0x0211, 230, 230, 2700, 50, 72, 660, f},
        {3, 5, "Mirtal Line 1000", "mirtal", "rs232", 0, 0, 120, 120, 600, 60, 24, 480,
         b | caps({"hasPOutput", "hasFOutput", "hasNominalFOutput", "hasTemperature",
                   "hasSetICBattery", "hasICBattery", "hasWakeUp"})},
        {4, 2, "Ondra Tower 6K", "ondra", "rs232", 0, 0, 230, 230, 5400, 50, 192, 900,
         f | caps({"hasNightOff", "hasPowerLook"})},
    };
}

}  // namespace

bool ModelInfo::has(const char* capability) const {
    for (int i = 0; i < kCapabilityCount; ++i) {
        if (std::strcmp(kCapabilityNames[i], capability) == 0) {
            return (caps >> i) & 1u;
        }
    }
    return false;
}

const std::vector<ModelInfo>& modelCatalogue() {
    static const std::vector<ModelInfo> models = build();
    return models;
}

const ModelInfo* findModel(int family, int model) {
    for (const auto& m : modelCatalogue()) {
        if (m.family == family && m.model == model) {
            return &m;
        }
    }
    return nullptr;
}

namespace {

QJsonObject capsJson(std::uint32_t c) {
    QJsonObject o;
    for (int i = 0; i < kCapabilityCount; ++i) {
        o.insert(kCapabilityNames[i], static_cast<int>((c >> i) & 1u));
    }
    return o;
}

}  // namespace

QJsonObject modelJson(const ModelInfo& m) {
    QJsonObject o;
    o.insert("family", m.family);
    o.insert("model", m.model);
    o.insert("name", m.name);
    o.insert("caps", capsJson(m.caps));
    return o;
}

QJsonObject familyJson(int family) {
    std::uint32_t shared = ~0u;
    const char* protocol = nullptr;
    for (const auto& m : modelCatalogue()) {
        if (m.family == family) {
            shared &= m.caps;
            protocol = m.protocol;
        }
    }
    if (!protocol) {
        return QJsonObject();
    }
    QString name = QString::fromLatin1(protocol);
    name[0] = name[0].toUpper();
    QJsonObject o;
    o.insert("family", family);
    o.insert("name", name + " family");
    o.insert("caps", capsJson(shared & ((1u << kCapabilityCount) - 1)));
    return o;
}

}  // namespace sim
}  // namespace custovia
