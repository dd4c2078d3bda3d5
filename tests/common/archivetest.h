#pragma once

// Catching the error a damaged or hostile archive must raise, to look at where and why it broke.

#include "common/archive.h"

#include <gtest/gtest.h>

namespace halyx::test {

// Runs read, which must throw an ArchiveError, and returns that error.
template <class Read> ArchiveError ThrownArchiveError(Read read) {
    try {
        read();
    } catch (const ArchiveError& error) {
        return error;
    }
    ADD_FAILURE() << "read without an error";
    return ArchiveError("", 0, "");
}

} // namespace halyx::test
