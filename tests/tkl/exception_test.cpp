#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tkl/Exception.h"

using namespace tkl;

TEST(Exception, WhatIsTheClassNameAndMessageAndCodeAreKept) {
    InvalidArgumentException e("Invalid arguments.", -202);
    EXPECT_STREQ(e.what(), "Invalid Argument");
    EXPECT_EQ(e.toString(), e.name());
    tkltest::expectThrow<InvalidArgumentException>([&] { throw e; }, "Invalid arguments.", -202);
    NotFoundException fromCode(-302);
    EXPECT_EQ(fromCode.message(), "");
    EXPECT_STREQ(fromCode.what(), "Not Found error");
    // A message alone takes the class's own code.
    EXPECT_EQ(OpenFileException("x").code(), -32017);
}

TEST(Exception, CloneAndRethrowKeepTheDynamicClass) {
    ProtocolException original("transfer failed", -3200);
    std::unique_ptr<Exception> copy(static_cast<const Exception&>(original).clone());
    EXPECT_NE(copy->className().find("ProtocolException"), std::string::npos);
    EXPECT_EQ(copy->name(), "Protocol error");
    tkltest::expectThrow<ProtocolException>([&] { copy->rethrow(); }, "transfer failed", -3200);
    // A handler of a base class catches the concrete class too.
    EXPECT_THROW(copy->rethrow(), IOException);
}

TEST(Exception, NestedCauseIsDeepCopied) {
    Exception outer("outer", SystemException("os call failed", -305), -100);
    Exception copy(outer);
    ASSERT_NE(copy.nested(), nullptr);
    EXPECT_NE(copy.nested(), outer.nested());
    EXPECT_EQ(copy.nested()->message(), "os call failed");
    EXPECT_EQ(copy.nested()->name(), "System error");
    // A copy of an exception without a cause has none either.
    Exception plain("plain", -1);
    EXPECT_EQ(Exception(plain).nested(), nullptr);
}

namespace {
struct Plain : Object {};
}  // namespace

TEST(Object, ToStringIsTypeNameAtAddress) {
    Plain p;
    std::ostringstream addr;
    addr << static_cast<const void*>(&p);
    std::string text = p.str();
    EXPECT_NE(text.find("Plain"), std::string::npos);
    EXPECT_EQ(text.substr(text.find('@') + 1), addr.str());
}
