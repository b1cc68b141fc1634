#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tkl/Exception.h"

using namespace tkl;

TEST(Exception, WhatIsTheClassNameAndAMessageAloneTakesTheClassCode) {
    InvalidArgumentException e("Invalid arguments.", -202);
    EXPECT_STREQ(e.what(), "Invalid Argument");
    // A message alone takes the class's own code.
    EXPECT_EQ(OpenFileException("x").code(), -32017);
}

TEST(Exception, CloneRethrowAndCopyKeepTheDynamicClassAndTheCause) {
    ProtocolException original("transfer failed", -3200);
    std::unique_ptr<Exception> copy(static_cast<const Exception&>(original).clone());
    EXPECT_NE(copy->className().find("ProtocolException"), std::string::npos);
    EXPECT_EQ(copy->name(), "Protocol error");
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

TEST(Object, ToStringIsTypeNameAtAddress) {
    struct Plain : Object {};
    Plain p;
    std::ostringstream address;
    address << "@" << static_cast<const void*>(&p);
    const std::string text = p.str();
    EXPECT_NE(text.find("Plain"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find('@')), address.str());
}
