// Keeps exceptions from crossing the Qt event loop: every slot, timer handler and event override
// that can throw runs its body through Guarded(), which reports and swallows the error.
#pragma once

#include <exception>
#include <utility>

// Writes "Error in <where>: <what>" to stderr and to the program log sink.
void ReportException(const char* where, const char* what) noexcept;

// Reports the exception currently being handled (call only inside a catch block).
void ReportCurrentException(const char* where) noexcept;

// Runs f; returns true when it finished, false when it threw (the error is reported).
template <class F> bool Guarded(const char* where, F&& f) noexcept {
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        ReportCurrentException(where);
        return false;
    }
}
