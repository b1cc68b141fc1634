// A process that connects a publisher to the broker given as its argument and
// waits to be killed: the test of the last will kills it without a goodbye.
#include <unistd.h>

#include "mqtt/Publisher.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    custovia::mqtt::Options o;
    o.url = argv[1];
    if (!custovia::mqtt::load(o).empty()) {
        return 2;
    }
    custovia::mqtt::Publisher p(o, custovia::mqtt::Source());
    if (!p.start().empty()) {
        return 1;
    }
    for (;;) {
        pause();
    }
}
