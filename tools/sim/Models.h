#pragma once
// The UPS models the simulator knows: identity, ratings, port kind and the
// capability flags a model description announces.

#include <QJsonObject>

#include <cstdint>
#include <vector>

namespace custovia {
namespace sim {

// Capability flags in the order of their bits.
extern const char* const kCapabilityNames[30];
constexpr int kCapabilityCount = 30;

struct ModelInfo {
    int family;
    int model;
    const char* name;
    const char* protocol;  // "zephan", "corvel", "mirtal", "ondra"
    const char* portType;  // "hid", "cdc", "rs232"
    int vid;
    int pid;
    double nominalVInput;
    double nominalVOutput;
    double nominalPOutput;  // watts
    double nominalFOutput;
    double nominalVBattery;
    double autonomySec;  // on battery at half load, from full charge
    std::uint32_t caps;  // bit i: kCapabilityNames[i]

    bool has(const char* capability) const;
};

const std::vector<ModelInfo>& modelCatalogue();
const ModelInfo* findModel(int family, int model);

// The model description as the service writes it: family, model, name and
// every capability flag as 0 or 1.
QJsonObject modelJson(const ModelInfo& m);
// The description of a whole family: the capabilities all its models share.
// Empty when the family is unknown.
QJsonObject familyJson(int family);

}  // namespace sim
}  // namespace custovia
