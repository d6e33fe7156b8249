// The exception class tree: names as printed, parents, and the forms of construction.
#include "runtime/exceptions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/exception_support.h"
#include "runtime/string_ids.h"
#include "support/case_names.h"

namespace {

struct ClassCase {
  const ClassInfo* info;
  const char* name;
  const char* parent;
};
void PrintTo(const ClassCase& c, std::ostream* os) { *os << c.name; }

class ClassTree : public testing::TestWithParam<ClassCase> {};

TEST_P(ClassTree, NameAndParentAreAsPrinted) {
  EXPECT_STREQ(GetParam().info->name, GetParam().name);
  ASSERT_NE(GetParam().info->parent, nullptr);
  EXPECT_STREQ(GetParam().info->parent->name, GetParam().parent);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, ClassTree,
    testing::Values(
        ClassCase{&Exception::ClassInfoRecord, "Exception", "TObject"},
        ClassCase{&EHeapException::ClassInfoRecord, "EHeapException", "Exception"},
        ClassCase{&EOutOfMemory::ClassInfoRecord, "EOutOfMemory", "EHeapException"},
        ClassCase{&EInvalidPointer::ClassInfoRecord, "EInvalidPointer", "EHeapException"},
        ClassCase{&EInOutError::ClassInfoRecord, "EInOutError", "Exception"},
        ClassCase{&EExternal::ClassInfoRecord, "EExternal", "Exception"},
        ClassCase{&EExternalException::ClassInfoRecord, "EExternalException", "EExternal"},
        ClassCase{&EIntError::ClassInfoRecord, "EIntError", "EExternal"},
        ClassCase{&EDivByZero::ClassInfoRecord, "EDivByZero", "EIntError"},
        ClassCase{&ERangeError::ClassInfoRecord, "ERangeError", "EIntError"},
        ClassCase{&EIntOverflow::ClassInfoRecord, "EIntOverflow", "EIntError"},
        ClassCase{&EMathError::ClassInfoRecord, "EMathError", "EExternal"},
        ClassCase{&EInvalidOp::ClassInfoRecord, "EInvalidOp", "EMathError"},
        ClassCase{&EZeroDivide::ClassInfoRecord, "EZeroDivide", "EMathError"},
        ClassCase{&EOverflow::ClassInfoRecord, "EOverflow", "EMathError"},
        ClassCase{&EUnderflow::ClassInfoRecord, "EUnderflow", "EMathError"},
        ClassCase{&EInvalidCast::ClassInfoRecord, "EInvalidCast", "Exception"},
        ClassCase{&EConvertError::ClassInfoRecord, "EConvertError", "Exception"},
        ClassCase{&EAccessViolation::ClassInfoRecord, "EAccessViolation", "EExternal"},
        ClassCase{&EPrivilege::ClassInfoRecord, "EPrivilege", "EExternal"},
        ClassCase{&EStackOverflow::ClassInfoRecord, "EStackOverflow", "EExternal"},
        ClassCase{&EControlC::ClassInfoRecord, "EControlC", "EExternal"},
        ClassCase{&EVariantError::ClassInfoRecord, "EVariantError", "Exception"},
        ClassCase{&EAssertionFailed::ClassInfoRecord, "EAssertionFailed", "Exception"},
        ClassCase{&EAbstractError::ClassInfoRecord, "EAbstractError", "Exception"},
        ClassCase{&EIntfCastError::ClassInfoRecord, "EIntfCastError", "Exception"},
        ClassCase{&ESafecallException::ClassInfoRecord, "ESafecallException", "Exception"}),
    test_support::PrintedCaseName{});

TEST(ClassTreeObjects, ObjectsKnowTheirClassAndAncestors) {
  EZeroDivide zero("z");
  EXPECT_STREQ(zero.ClassName(), "EZeroDivide");
  EXPECT_TRUE(IsInstanceOf<EMathError>(&zero));
  EXPECT_TRUE(IsInstanceOf<EExternal>(&zero));
  EXPECT_TRUE(IsInstanceOf<Exception>(&zero));
  EXPECT_TRUE(IsInstanceOf<TObject>(&zero));
  EXPECT_FALSE(IsInstanceOf<EIntError>(&zero));
  EXPECT_FALSE(IsInstanceOf<EInOutError>(&zero));

  // Through a base pointer the object still names its own class.
  std::unique_ptr<TObject> object = std::make_unique<EDivByZero>("d");
  EXPECT_STREQ(object->ClassName(), "EDivByZero");
  EXPECT_TRUE(IsInstanceOf<EIntError>(object.get()));

  TObject plain;
  EXPECT_STREQ(plain.ClassName(), "TObject");
  EXPECT_FALSE(IsInstanceOf<Exception>(&plain));
  EXPECT_FALSE(IsInstanceOf<Exception>(nullptr));
}

TEST(ExceptionConstruction, FourFormsFixTheMessage) {
  EXPECT_EQ(Exception("as given %d").Message(), "as given %d");
  EXPECT_EQ(Exception("code %d in %s", {105, "unit"}).Message(), "code 105 in unit");
  EXPECT_EQ(Exception(ResourceId{StringIdInvalidInput}).Message(), "Invalid numeric input");
  EXPECT_EQ(Exception(ResourceId{StringIdIoError}, {105}).Message(), "I/O error 105");
  EXPECT_EQ(Exception(ResourceId{StringIdExternalException}, {0xC000001Du}).Message(),
            "External exception C000001D");
  EXPECT_EQ(Exception("x").HelpContext(), 0);
}

TEST(ExceptionConstruction, HeapExceptionsAreFreedOnlyWhenAllowed) {
  auto* shared = new EOutOfMemory("Out of memory");
  shared->Free();  // refused: still usable
  EXPECT_EQ(shared->Message(), "Out of memory");
  shared->FreeAllowed = true;
  shared->Free();  // released (a leak checker would see it otherwise)
}

}  // namespace
