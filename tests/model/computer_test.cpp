#include <gtest/gtest.h>

#include <string>

#include "model/Computer.h"
#include "tkl/Json.h"

using custovia::Computer;

TEST(Computer, EmptyRecordShowsUnknownsAndWritesNothing) {
    Computer computer;
    EXPECT_TRUE(computer.isEmpty());
    EXPECT_EQ(computer.toString(),
              "monVersion=<unknown>, apiVersion=<unknown>, osVersion=<unknown>, "
              "hostname=<unknown>, ip=<unknown>, port=<unknown>, upTime=<unknown>");
    EXPECT_EQ(computer.toJson().toString(), "{}");

    computer.upTime = 1;
    EXPECT_FALSE(computer.isEmpty());
    computer.clear();
    computer.port = 1;
    EXPECT_FALSE(computer.isEmpty());
}

TEST(Computer, ReadsServiceFormAndWritesItBack) {
    const std::string service =
        "{\"apiVersion\":\"1.2\",\"hostname\":\"srv-01\",\"ip\":\"10.0.0.5\","
        "\"monVersion\":\"8.9.2\",\"osVersion\":\"Debian GNU/Linux 12\",\"port\":8087,"
        "\"upTime\":123456789012}";
    tkl::JsonDocument doc;
    doc.fromJson(service);
    Computer computer;
    computer.fromJson(doc.object());
    EXPECT_EQ(computer.toString(),
              "monVersion=8.9.2, apiVersion=1.2, osVersion=Debian GNU/Linux 12, hostname=srv-01, "
              "ip=10.0.0.5, port=8087, upTime=123456789012");
    EXPECT_EQ(computer.toJson().toString(), service);

    // A second read starts from a cleared record: nothing of the first stays.
    doc.fromJson("{\"ip\":\"10.0.0.6\",\"port\":-1.5}");
    computer.fromJson(doc.object());
    EXPECT_EQ(computer.toString(),
              "monVersion=<unknown>, apiVersion=<unknown>, osVersion=<unknown>, "
              "hostname=<unknown>, ip=10.0.0.6, port=4294967295, upTime=<unknown>");
}
