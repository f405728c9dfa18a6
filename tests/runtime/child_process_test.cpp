#include "runtime/child_process.h"
#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace tollwick {
namespace {

ProcessOutput shell(const std::string& script) {
    return runProcess({"sh", "-c", script});
}

TEST(RunProcess, KeepsStandardOutputAndErrorApartAndReportsTheExitCode) {
    const ProcessOutput result = shell("printf 'to out\\n'; printf 'to err' >&2; exit 3");
    EXPECT_EQ(result.out, "to out\n");
    EXPECT_EQ(result.err, "to err");
    EXPECT_EQ(result.exitStatus, 3);
}

TEST(RunProcess, PassesArgumentsVerbatimWithoutAShell) {
    const ProcessOutput result = runProcess({"printf", "%s|", "two words", "$HOME", "*", ""});
    EXPECT_EQ(result.out, "two words|$HOME|*||");
    EXPECT_EQ(result.exitStatus, 0);
}

// The child fills its error pipe before writing any output; reading one pipe to its end before
// the other would leave both processes waiting for ever.
TEST(RunProcess, CollectsMoreThanAPipeHoldsOnBothStreams) {
    const ProcessOutput result =
        shell("head -c 300000 /dev/zero | tr '\\0' e >&2; head -c 300000 /dev/zero | tr '\\0' o");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, std::string(300000, 'o'));
    EXPECT_EQ(result.err, std::string(300000, 'e'));
}

TEST(RunProcess, ChildReadsNothingFromStandardInput) {
    const ProcessOutput result = runProcess({"cat"});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.exitStatus, 0);
}

TEST(RunProcess, ChildKilledByASignalReportsMinusTheSignal) {
    EXPECT_EQ(shell("kill -TERM $$").exitStatus, -SIGTERM);
}

// An ignored signal would be inherited: a child that should die of SIGPIPE would live on.
TEST(RunProcess, ChildStartsWithDefaultSignalHandlingEvenWhenWeIgnoreSignals) {
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const ProcessOutput result = shell("kill -PIPE $$; echo survived");
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(result.exitStatus, -SIGPIPE);
    EXPECT_EQ(result.out, "");
}

TEST(RunProcess, ProgramThatCannotBeStartedFailsNamingIt) {
    try {
        runProcess({"tollwick-no-such-program"});
        FAIL() << "a missing program was started";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("tollwick-no-such-program"), std::string::npos) << error.what();
    }
    EXPECT_THROW(runProcess({}), Error);
}

} // namespace
} // namespace tollwick
