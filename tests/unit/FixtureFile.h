#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

// The bytes of one recorded PBX conversation.
inline std::string fixture(const std::string& name)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << "missing recording " << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
