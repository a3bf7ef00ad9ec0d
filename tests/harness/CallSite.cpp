#include "CallSite.h"

#include <gtest/gtest.h>

#include <atomic>

namespace harness {
namespace {

std::atomic<FailureHandler> g_handler{nullptr};

}  // namespace

void Fail(const CallSite& where, const std::string& message)
{
    if (const FailureHandler handler = g_handler)
        handler(where, message);
    else
        ADD_FAILURE_AT(where.file, where.line) << message;
}

void SetFailureHandler(FailureHandler handler)
{
    g_handler = handler;
}

}  // namespace harness
