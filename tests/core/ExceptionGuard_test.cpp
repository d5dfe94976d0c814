// The event-loop exception guard and the program-log sink it writes to.
#include "core/ExceptionGuard.h"

#include "core/ProgramLogSink.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class SinkRecorder {
public:
    SinkRecorder() {
        SetProgramLogSink([this](const QString& line) { lines << line; });
    }
    ~SinkRecorder() { SetProgramLogSink(nullptr); }
    QStringList lines;
};

} // namespace

TEST(ExceptionGuard, PassesThroughWhenNothingIsThrown) {
    SinkRecorder sink;
    int calls = 0;
    EXPECT_TRUE(Guarded("here", [&] { ++calls; }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST(ExceptionGuard, ReportsStandardAndOtherExceptionsInOneLine) {
    SinkRecorder sink;
    EXPECT_FALSE(Guarded("TForm1.Timer10Timer", [] { throw std::runtime_error("database is locked"); }));
    EXPECT_FALSE(Guarded("Slot", [] { throw 7; }));
    ASSERT_EQ(sink.lines.size(), 2);
    EXPECT_EQ(sink.lines[0], QStringLiteral("Error in TForm1.Timer10Timer: database is locked"));
    EXPECT_EQ(sink.lines[1], QStringLiteral("Error in Slot: unknown exception"));
}

TEST(ExceptionGuard, AThrowingSinkDoesNotEscape) {
    SetProgramLogSink([](const QString&) { throw std::runtime_error("sink down"); });
    EXPECT_FALSE(Guarded("x", [] { throw std::logic_error("first"); }));
    EXPECT_TRUE(HasProgramLogSink());
    SetProgramLogSink(nullptr);
    EXPECT_FALSE(HasProgramLogSink());
    WriteProgramLogSink(QStringLiteral("to stderr")); // the default sink must not fail either
}
