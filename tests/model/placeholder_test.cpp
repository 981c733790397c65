#include <gtest/gtest.h>
#include "music_bank.h"
TEST(MusicBank, MapsAddressesIntoTheBank) { EXPECT_EQ(kestrin::NesAddressToFileOffset(0xA7C2), 0x387D2); }
