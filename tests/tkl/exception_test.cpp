#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tkl/Exception.h"

using namespace tkl;

TEST(Exception, CloneRethrowAndCopyKeepTheDynamicClassAndTheCause) {
    ProtocolException original("transfer failed");  // a message alone takes the class's code
    std::unique_ptr<Exception> copy(static_cast<const Exception&>(original).clone());
    EXPECT_NE(copy->className().find("ProtocolException"), std::string::npos);
    // what() names the class, not the message.
    EXPECT_STREQ(copy->what(), "Protocol error");
    EXPECT_EQ(copy->name(), copy->what());
    tkltest::expectThrow<ProtocolException>([&] { copy->rethrow(); }, "transfer failed", -3200);
    // A handler of a base class catches the concrete class too.
    EXPECT_THROW(copy->rethrow(), IOException);

    // A copy owns a copy of the cause.
    Exception outer("outer", SystemException("os call failed", -305), -100);
    Exception nestedCopy(outer);
    ASSERT_NE(nestedCopy.nested(), nullptr);
    EXPECT_NE(nestedCopy.nested(), outer.nested());
    EXPECT_EQ(nestedCopy.nested()->message(), "os call failed");
    EXPECT_EQ(Exception(original).nested(), nullptr);
}
