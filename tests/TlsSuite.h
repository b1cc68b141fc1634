// A test suite whose tests share one set of certificates, written once for
// the suite into a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include "TlsTestSupport.h"

namespace tlstest {

class Suite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certs = new Certificates(); }
    static void TearDownTestSuite() {
        delete certs;
        certs = nullptr;
    }
    static inline Certificates* certs = nullptr;
};

}  // namespace tlstest
