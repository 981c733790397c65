// Headers precompiled for the test programs (cmake/KestrinTargets.cmake).
#pragma once

#include <gtest/gtest.h>

#include "precompiled_qt.h"
