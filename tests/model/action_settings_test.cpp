// Shutdown, dialer and mail settings and the computer record: JSON in and out, and text.
#include <gtest/gtest.h>

#include <string>

#include "JsonText.h"
#include "model/Computer.h"
#include "model/DeviceDialCfg.h"
#include "model/DeviceMailCfg.h"
#include "model/DeviceShutCfg.h"

using custovia::Computer;
using custovia::DeviceDialCfg;
using custovia::DeviceMailCfg;
using custovia::DeviceShutCfg;

TEST(DeviceShutCfg, ReadsServiceFormAndSurvivesCopyAndRoundTrip) {
    DeviceShutCfg cfg;
    // Every member differs from its default, so each one is shown to be read and written. Flags
    // arrive as booleans, numbers or text and are kept as 1 or 0; counters drop fractions.
    cfg.fromJson(
        parse("{\"id\":\"UPS-1\",\"enabled\":7,\"counterManual\":45.9,\"counterOpBattery\":60,"
              "\"counterLoBattery\":15,\"counterFailure\":25,\"counterTimer\":35,"
              "\"counterBatLevel\":40,\"remCtrlDelay\":2500,\"devShutEnabled\":false,"
              "\"devStandByKeep\":\"TRUE\",\"devShutTimer\":180,\"cliShutEnabled\":0,"
              "\"cliHibernate\":0,\"cliShutTimer\":9,\"cliRun\":\"/opt/backup.sh\"}"));
    const std::string text =
        "shutdown: {id=UPS-1, \nenabled=1, \ncounterManual=45, \ncounterOpBattery=60, \n"
        "counterLoBattery=15, \ncounterFailure=25, \ncounterTimer=35, \n"
        "counterBatLevel=40, \nremCtrlDelay=2500}, \n"
        "device: {devShutEnabled=0, \ndevShutTimer=180, \ndevstandByKeep=1}\n"
        "client: {cliShutEnabled=0, \ncliHibernate=0, \ncliShutTimer=9, "
        "\ncliRun=\"/opt/backup.sh\"}";
    EXPECT_EQ(cfg.toString(), text);
    DeviceShutCfg back;
    back.fromJson(parse(DeviceShutCfg(cfg).toJson().toString()));
    EXPECT_EQ(back.toString(), text);
}

TEST(DeviceDialCfg, ReadsWritesAndPrintsEveryNumber) {
    DeviceDialCfg cfg;

    cfg.fromJson(
        parse("{\"id\":\"UPS-2\",\"trigger\":3,\"triggerTmr\":60.8,\"outputTmr\":10,"
              "\"phone1\":\"+34 600 000 001\",\"phone3\":\"112\",\"phone8\":\"999\"}"));
    EXPECT_EQ(cfg.toString(),
              "id=UPS-2, \ntrigger=3, \ntriggerTmr=60, \noutputTmr=10, \n"
              "phone1=+34 600 000 001, \nphone2=, \nphone3=112, \nphone4=, \nphone5=, \n"
              "phone6=, \nphone7=, \nphone8=999");
    EXPECT_EQ(cfg.toJson().toString(),
              "{\"id\":\"UPS-2\",\"outputTmr\":10,\"phone1\":\"+34 600 000 001\",\"phone2\":\"\","
              "\"phone3\":\"112\",\"phone4\":\"\",\"phone5\":\"\",\"phone6\":\"\",\"phone7\":\"\","
              "\"phone8\":\"999\",\"trigger\":3,\"triggerTmr\":60}");
}

TEST(DeviceMailCfg, DefaultsRecipientSlotsServiceFormAndInvalidNumbers) {
    DeviceMailCfg cfg;
    EXPECT_EQ(cfg.toString(),
              "mail: {id=, server=, port=587, from=noreply@custovia.com, auth=0, username=, "
              "password=, secure=1, test=0, enable=1, }");

    // Missing numbers read as a valid 0. One recipient set by a caller is the common update: it
    // must be sent. A longer list writes its first five, the set ones only.
    const std::string numbers = R"({"auth":0,"enable":0,"port":0,"secure":0,"test":0,)";
    cfg.fromJson(tkl::JsonObject());
    cfg.to = {"first@example.com"};
    EXPECT_EQ(compact(cfg.toJson()), numbers + R"("to1":"first@example.com"})");
    cfg.to = {"a@x", "", "c@x", "d@x", "e@x", "f@x", "g@x"};
    EXPECT_EQ(compact(cfg.toJson()),
              numbers + R"("to1":"a@x","to3":"c@x","to4":"d@x","to5":"e@x"})");

    // The service form round-trips; numbers out of range are not written, the rest is.
    const std::string service =
        R"({"id":"UPS-1","server":"smtp.example.com","port":465,"from":"ups@example.com",)"
        R"("auth":1,"username":"mailer","password":"s3cret","secure":1,"test":0,"enable":1,)"
        R"("to1":"a@example.com","to2":"b@example.com","cc":"boss@example.com"})";
    cfg.fromJson(parse(service));
    // The password goes to the service but never into the text form.
    EXPECT_EQ(cfg.toJson(), parse(service));
    EXPECT_EQ(cfg.toString(),
              "mail: {id=UPS-1, server=smtp.example.com, port=465, from=ups@example.com, auth=1, "
              "username=mailer, password=******, secure=1, test=0, enable=1, "
              "to: {a@example.com, b@example.com, , , }, cc: {boss@example.com}, bcc: {}}");

    cfg.port = 65536;
    cfg.auth = 2;
    cfg.secure = 7;
    cfg.bcc.clear();
    tkl::JsonObject valid = parse(service);
    for (const char* key : {"port", "auth", "secure"})
        valid.take(key);
    EXPECT_EQ(cfg.toJson(), valid);
    // With a copy recipient and no blind copy the list part ends "}, }".
    const std::string text = cfg.toString();
    EXPECT_EQ(text.substr(text.size() - 25), "cc: {boss@example.com}, }");
}

TEST(Computer, EmptyRecordServiceFormAndSecondRead) {
    const std::string unknowns =
        "monVersion=<unknown>, apiVersion=<unknown>, osVersion=<unknown>, hostname=<unknown>, ";
    Computer computer;
    EXPECT_TRUE(computer.isEmpty());
    EXPECT_EQ(computer.toString(), unknowns + "ip=<unknown>, port=<unknown>, upTime=<unknown>");
    EXPECT_EQ(computer.toJson().toString(), "{}");

    const std::string service =
        R"({"apiVersion":"1.2","hostname":"srv-01","ip":"10.0.0.5","monVersion":"8.9.2",)"
        R"("osVersion":"Debian GNU/Linux 12","port":8087,"upTime":123456789012})";
    computer.fromJson(parse(service));
    EXPECT_FALSE(computer.isEmpty());
    EXPECT_EQ(computer.toString(),
              "monVersion=8.9.2, apiVersion=1.2, osVersion=Debian GNU/Linux 12, hostname=srv-01, "
              "ip=10.0.0.5, port=8087, upTime=123456789012");
    EXPECT_EQ(computer.toJson().toString(), service);

    // A second read starts from a cleared record: nothing of the first stays.
    computer.fromJson(parse(R"({"ip":"10.0.0.6","port":-1.5})"));
    EXPECT_EQ(computer.toString(), unknowns + "ip=10.0.0.6, port=4294967295, upTime=<unknown>");
}
