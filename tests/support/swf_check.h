#pragma once

#include <gtest/gtest.h>

#include <string>

// Runs tools/swfcheck/swfcheck.mjs (the independent parser from the npm package swf-parser) on
// a written movie. Fails with the script's message when the parser rejects the file, when the
// header's file length or frame count is wrong, or when node or the package is missing.
::testing::AssertionResult IndependentParserAccepts(const std::string& swfPath);

// The same, and on success hands back the script's JSON summary of the header and the tags
// ({"header": {...}, "tags": [{"code", "name", "length", "id", "depth", ...}]}).
::testing::AssertionResult IndependentParserSummary(const std::string& swfPath, std::string& json);
