#include "foundation/arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string> argumentsOf(const std::string &commandLine) {
    std::vector<std::string> result;
    int count = argumentCountIn(commandLine);
    for (int i = 1; i <= count; ++i)
        result.push_back(argumentIn(commandLine, i));
    return result;
}

struct SplitCase {
    const char *name;
    std::string afterProgram;
    std::vector<std::string> arguments;
};

TEST(Arguments, SplitsCommandLines) {
    const SplitCase cases[] = {
        {"nothing", "", {}},
        {"several blanks and tabs", "a   \t b", {"a", "b"}},
        {"quoted path", R"("C:\My Files\a.ini" x)", {R"(C:\My Files\a.ini)", "x"}},
        {"empty pair first", R"("" a)", {"a"}},
        {"empty pair last", R"(a "")", {"a"}},
        {"two empty pairs", R"("" "")", {}},
        {"touching empty pair", R"(a""b)", {"ab"}},
        {"doubled quotes close and reopen", R"("ab""cd")", {"abcd"}},
        {"quoted then plain", R"("a b"c)", {"a bc"}},
        {"plain quoted plain", R"(ab"c d"e)", {"abc de"}},
        {"quote never closed", R"(a "b c)", {"a", "b c"}},
        {"single quote last", R"(a ")", {"a"}},
        {"switch with quoted value", R"(/x="1 2")", {"/x=1 2"}},
        {"byte above 127", "\xE4x y", {"\xE4x", "y"}},
        {"tab inside quotes", "\"a\tb\"", {"a\tb"}},
        {"control bytes separate",
         "a\x01"
         "b\rc\nd",
         {"a", "b", "c", "d"}},
        {"backslash is ordinary", R"(a\"b c")", {R"(a\b c)"}},
        {"zero byte ends the line", std::string("a b\0c", 5), {"a", "b"}},
        {"long argument kept whole", std::string(300, 'x'), {std::string(300, 'x')}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = "prog " + c.afterProgram;
        EXPECT_EQ(argumentsOf(line), c.arguments);
        int count = static_cast<int>(c.arguments.size());
        EXPECT_EQ(argumentIn(line, count + 1), "");
        EXPECT_EQ(argumentIn(line, -1), "");
    }
}

TEST(Arguments, SkipsQuotedProgramNameWhole) {
    EXPECT_EQ(argumentsOf(R"("C:\Program Files\prog.exe" a)"), std::vector<std::string>{"a"});
    EXPECT_EQ(argumentsOf(""), std::vector<std::string>{});
}

TEST(Arguments, SplitReturnsPositionAfterArgument) {
    SplitResult first = splitArgument("  ab cd", 0);
    EXPECT_EQ(first.argument, "ab");
    EXPECT_EQ(first.next, 4u);
    SplitResult second = splitArgument("  ab cd", first.next);
    EXPECT_EQ(second.argument, "cd");
    EXPECT_EQ(splitArgument("  ab cd", second.next).argument, "");
}

TEST(Arguments, ToUpperAsciiFoldsOnlyAsciiLetters) {
    EXPECT_EQ(toUpperAscii("abz AZ09 [x]"), "ABZ AZ09 [X]");
    EXPECT_EQ(toUpperAscii("\xE4`{@"), "\xE4`{@");
    EXPECT_EQ(toUpperAscii(""), "");
    EXPECT_EQ(toUpperAscii(std::string("a\0b", 3)), std::string("A\0B", 3));
}

// Folding works on several bytes at a time: every byte value, at every place of the whole words
// and of the tail, is folded on its own, whatever stands beside it.
TEST(Arguments, ToUpperAsciiFoldsEveryByteValueAtEveryPosition) {
    for (int value = 0; value < 256; ++value) {
        char byte = static_cast<char>(value);
        char expected = value >= 'a' && value <= 'z' ? static_cast<char>(value - 32) : byte;
        for (std::size_t position = 0; position < 19; ++position) {
            for (char neighbour : {'a', 'Z', '\xFF'}) {
                std::string text(19, neighbour);
                text[position] = byte;
                std::string folded;
                toUpperAsciiInto(text, folded);
                std::string wanted(19, neighbour == 'a' ? 'A' : neighbour);
                wanted[position] = expected;
                ASSERT_EQ(folded, wanted) << "byte " << value << " at " << position;
            }
        }
    }
}

} // namespace
