// A test in a temporary directory of its own, removed afterwards; `doc` is extern.xml there.
#pragma once

#include "cases.h"
#include "tool.h"

#include <gtest/gtest.h>

class DocumentDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tool::make_dir();
        doc = dir + "/extern.xml";
    }
    void TearDown() override { tool::remove_tree(dir); }

    std::string dir;
    std::string doc;
    const std::string old_doc = cases::P + "<port>8</port>";
};
