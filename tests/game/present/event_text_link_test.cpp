#include "game/present/event_text_link.h"

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"

namespace velk {
namespace {

TEST(EscapeCodeTextLink, ExpandsNamesWithTheCommandsChoices) {
    testing::RecordingReporter reporter;
    testing::FakeOwners owners;
    testing::FakeInterpreter interpreter;
    DatabaseSet databases;
    VariableStore store(&interpreter, &databases);
    store.SetString(3000004, "str");
    EscapeCodeTextLink link(store);

    EventTextOptions options;
    options.valuesOnly = true;
    options.leadingAtSignLine = true;
    EXPECT_EQ(link.ConvertEscapeCodes("@12\nname \\s[4] \\c[1]", options), "name str \\c[1]");
    EXPECT_EQ(interpreter.block.sysVar0, 12);
    options.leadingAtSignLine = false;
    EXPECT_EQ(link.ConvertEscapeCodes("@3\nX", options), "@3\nX");
    // Without values only, format codes become text codes.
    options.valuesOnly = false;
    EXPECT_NE(link.ConvertEscapeCodes("\\c[1]", options), "\\c[1]");
}

}  // namespace
}  // namespace velk
