// The window test programs' precompiled header: the window code's, with GoogleTest and the
// standard headers the tests use most. Qt Test stays out: its headers read macros that differ
// per test program (the test's source folder), which would make one shared header unusable.
#pragma once

#include "KelmonWindowPch.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
