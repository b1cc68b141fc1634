#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "JsonText.h"
#include "TimeZone.h"
#include "model/Device.h"

using namespace custovia;

namespace {

// 2021-03-04T13:20:30.123Z
constexpr int64_t kLast = 1614864030123LL;

// A device as the service sends it: lower-case protocol and port type, a number for `last`.
const char* const kServiceDevice = R"({
    "id": "ups1", "family": 3, "model": 12.9, "version": "2.10", "idPc": "pc-7",
    "last": 1614864030123, "name": "UPS 1", "userName": "Rack A", "userProd": "Server room",
    "protocol": "corvel",
    "port": {"type": "hid", "path": "\\\\?\\hid#vid_0665&pid_5161#7&2d3&0&0000#{4d1e}",
             "name": "HID#7", "vid": 1637, "pid": 20833, "isSoftUsb": 1,
             "config": {"baudrate": 9600, "databits": 7, "stopbits": 2, "parity": 1, "timeout": 80}},
    "vars": {"vInput": 229.5, "cBattery": 87, "shutdownTimer": -1},
    "status": {"connected": true, "opBattery": "1"},
    "failures": {"fan": 1}
})";

// The measurements' default text is pinned by the DeviceVars tests.
const std::string kDefaultTail = "vars: {" + DeviceVars().toString() + "}, \n";

}  // namespace

TEST(Device, ReadsTheServiceFormAndShowsItInLocalTime) {
    Device device;
    EXPECT_TRUE(device.toJson().isEmpty());
    EXPECT_EQ(device.toString(),
              "\nid=<unknown>, \nfamily=<unknown>, model=<unknown>, \nversion=<unknown>, \n"
              "protocol=Unknown, \nport: {" +
                  PortInfo().toString() + "}, \n" + kDefaultTail + "flags: {" +
                  DeviceFlags().toString() + "}, \nfail: {" + DeviceFailFlags().toString() +
                  "}, \nidPc=<unknown>\n");

    device.fromJson(parse(kServiceDevice));
    EXPECT_EQ(std::tie(device.port.config.baudrate, device.port.config.timeout),
              std::make_tuple(9600, 80));
    EXPECT_FLOAT_EQ(device.vars.vInput, 229.5f);
    EXPECT_TRUE(device.status.connected && device.status.opBattery && device.failures.fan);
    EXPECT_FALSE(device.status.loBattery);

    device.vars.clear();  // their text is pinned by the DeviceVars tests
    {
        ScopedTimeZone minusThree(kMinusThree);
        EXPECT_EQ(device.toString(),
                  "\nid=ups1, \nname=UPS 1, \nuserName=Rack A, \nuserProd=Server room, \n"
                  "family=3, model=12, \nversion=2.10, \nprotocol=Corvel, \nport: {port=HID(S), "
                  "path=\\\\?\\hid#vid_0665&pid_5161#7&2d3&0&0000#{4d1e}, name=HID#7, vid=0665, "
                  "pid=5161}, \n" +
                      kDefaultTail + "flags: {" + device.status.toString() + "}, \nfail: {" +
                      device.failures.toString() +
                      "}, \nidPc=pc-7, \nlast=2021/03/04 10:20:30.123\n");
    }
    device.last = -5;
    EXPECT_EQ(device.toString().find("last="), std::string::npos);

    device.setProtocol("ondra");
    EXPECT_EQ(device.protocolName(), "Ondra");
    device.setProtocol(static_cast<const char*>(nullptr));
    EXPECT_EQ(device.protocol, DeviceProtocol::Unknown);
    EXPECT_EQ(protocolText(static_cast<DeviceProtocol>(9)), "9");
    EXPECT_EQ(portTypeText(static_cast<PortType>(4)), "4");
}

// A time text with an offset or "Z" is exact; one without is local time.
TEST(Device, LastTextKeepsItsZone) {
    const std::pair<const char*, const char*> cases[] = {
        {"UTC0", R"("2021-03-04T10:20:30.123-03:00")"},
        {kMinusThree, R"("2021-03-04T13:20:30.123Z")"},
        {kMinusThree, R"("2021-03-04T10:20:30.123")"},
        {kMinusThree, "1614864030123.9"},
    };
    for (const auto& [zone, last] : cases) {
        SCOPED_TRACE(last);
        ScopedTimeZone inZone(zone);
        Device device;
        device.fromJson(parse(std::string(R"({"last":)") + last + "}"));
        EXPECT_EQ(device.last, kLast);
    }
}

TEST(Device, WritesDisplayTextsThatReadBackAsUnknown) {
    Device device;
    device.fromJson(parse(kServiceDevice));
    device.port.set(PortType::RS232, "COM3", PortInfo::SerialConfig(), nullptr, 0, 0);
    device.status.connected = false;

    tkl::JsonObject json;
    {
        ScopedTimeZone minusThree(kMinusThree);
        json = device.toJson();
    }
    EXPECT_EQ(compact(json.take("status").toObject()), compact(device.status.toJson()));
    EXPECT_EQ(compact(json.take("failures").toObject()), compact(device.failures.toJson()));
    EXPECT_EQ(compact(json),
              R"({"family":3,"id":"ups1","idPc":"pc-7","last":"2021-03-04T10:20:30.123-03:00",)"
              R"("model":12,"name":"UPS 1","port":{"config":{"baudrate":2400,"databits":8,)"
              R"("parity":0,"stopbits":1,"timeout":40},"isSoftUsb":0,"name":"COM3","path":"COM3",)"
              R"("pid":20833,"type":"RS232","vid":1637},"protocol":"Corvel","userName":"Rack A",)"
              R"("userProd":"Server room","version":"2.10"})");

    // Only the service's lower-case texts name a protocol or a port type.
    Device back;
    back.fromJson(device.toJson());
    EXPECT_EQ(back.protocol, DeviceProtocol::Unknown);
    EXPECT_EQ(back.port.type, PortType::Unknown);
    EXPECT_EQ(back.last, kLast);

    // Measurements go out only while connected; an unknown port, empty texts and zero time never.
    device.status.connected = true;
    device.port.clear();
    device.version.clear();
    device.name.clear();
    device.last = 0;
    device.protocol = DeviceProtocol::Unknown;
    json = device.toJson();
    EXPECT_EQ(json.keys(), (std::vector<std::string>{"failures", "family", "id", "idPc", "model",
                                                     "status", "userName", "userProd", "vars"}));
}

TEST(PortInfo, NamesFromPathsAndSetKeepsWhatIsNotGiven) {
    PortInfo port;
    EXPECT_EQ(port.nameFromPath("\\\\.\\COM12", PortType::RS232), "COM12");
    EXPECT_EQ(port.nameFromPath("/dev/ttyACM0", PortType::CDC), "ttyACM0");
    EXPECT_EQ(port.nameFromPath("\\\\?\\hid#vid_0665&pid_5161#7&2d3&0&0000#{4d1e}", PortType::HID),
              "HID#7");
    EXPECT_EQ(port.nameFromPath("/sys/usb/hidraw#0003", PortType::HID), "HID#0003");
    // A "#" before index 4 is part of the bus prefix, not an instance.
    EXPECT_EQ(port.nameFromPath("hid#vid_0665", PortType::HID), "HID");
    EXPECT_EQ(port.nameFromPath(nullptr, PortType::HID), "");

    // set() keeps what it is not given.
    port = PortInfo(PortType::HID, "/dev/usb/hidraw#0001&x", nullptr, 0x0665, 0);
    port.isSoftUsb = true;
    EXPECT_EQ(std::tie(port.name, port.pid), std::make_tuple("HID#0001", 0));
    port.set(PortType::CDC, "", "Modem", 0, 0x5161);
    EXPECT_EQ(std::tie(port.path, port.name, port.vid, port.pid, port.isSoftUsb),
              std::make_tuple("/dev/usb/hidraw#0001&x", "Modem", 0x0665, 0x5161, false));
    port.setType("rs232");
    EXPECT_EQ(port.typeName(), "RS232");
    port.setType(static_cast<const char*>(nullptr));
    EXPECT_EQ(port.type, PortType::Unknown);
}

TEST(PortInfo, TextShowsIdsAndLineSettingsByType) {
    PortInfo::SerialConfig line;
    line.set(9600, -1, -1, -1, -1);
    PortInfo port(PortType::CDC, "/dev/ttyACM0", line, nullptr, 0x1a, 0x2b3c);
    EXPECT_EQ(port.toString(),
              "port=CDC, path=/dev/ttyACM0, name=ttyACM0, vid=001A, pid=2B3C, config: "
              "{baudrate(bps)=9600, databits=8, stopbits=1, parity=0, timeout(ms)=40}");
    port.type = PortType::RS232;
    EXPECT_EQ(port.toString().find("vid="), std::string::npos);
    // No ids without both; the soft-USB mark is for HID only (shown in the device text).
    port.type = PortType::CDC;
    port.pid = 0;
    port.isSoftUsb = true;
    EXPECT_EQ(port.toString().rfind("port=CDC, path=/dev/ttyACM0, name=ttyACM0, config: {", 0), 0u);
}
