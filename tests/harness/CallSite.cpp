#include "CallSite.h"

#include <gtest/gtest.h>

namespace harness {

void Fail(const CallSite& where, const std::string& message)
{
    ADD_FAILURE_AT(where.file, where.line) << message;
}

}  // namespace harness
