// A scratch program directory with its own installation profile "KELMON.INI" for one test;
// both are given up again when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "tests/support/TempDir.h"

namespace testsupport {

class ScratchProfile {
public:
    ScratchProfile() {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
    }
    ~ScratchProfile() {
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
    }
    ScratchProfile(const ScratchProfile&) = delete;
    ScratchProfile& operator=(const ScratchProfile&) = delete;

    void Write(const char* section, const std::string& key, const std::string& value) {
        ASSERT_TRUE(platform::WriteProfileString(pavlet::GetProfileName(), section, key, value));
    }
    std::string Path() const { return pavlet::GetProfileName(); }

    TempDir dir;
};

}  // namespace testsupport
