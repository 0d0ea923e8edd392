#include "movie/publish.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(HtmlPage, TenLinesNameTheMovieAndItsSize) {
    auto lines = MovieHtmlLines("tour.swf", 640, 480);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=");
    EXPECT_EQ(lines[1].front(), '"');
    EXPECT_NE(lines[1].find("#version=4,0,2,0\""), std::string::npos);
    EXPECT_EQ(lines[2], "width=\"640\" height=\"480\">");
    EXPECT_EQ(lines[3], "<param name=\"movie\" value=\"tour.swf\">");
    EXPECT_EQ(lines[4], "<param name=\"quality\" value=\"high\">");
    EXPECT_EQ(lines[5], "<embed src=\"tour.swf\" quality=\"high\" pluginspage=");
    EXPECT_EQ(lines[6].front(), '"');
    EXPECT_EQ(lines[6].back(), '"');
    EXPECT_EQ(lines[7], "type=\"application/x-shockwave-flash\" width=\"640\" height=\"480\">");
    EXPECT_EQ(lines[8], "</embed>");
    EXPECT_EQ(lines[9], "</object>");
}

TEST(HtmlPage, MovieNameIsAnEncodedAddressInsideAttributes) {
    const struct {
        const char* name;
        const char* attribute;
    } cases[] = {
        {"movie #1.swf", "movie%20%231.swf"},
        {"q?x=1.swf", "q%3Fx%3D1.swf"},
        {"100%.swf", "100%25.swf"},
        {"a&b\"<c>.swf", "a%26b%22%3Cc%3E.swf"},
        {"caf\xC3\xA9-1_~.swf", "caf%C3%A9-1_~.swf"},
    };
    for (const auto& c : cases) {
        auto lines = MovieHtmlLines(c.name, 1, 1);
        EXPECT_EQ(lines[3], std::string("<param name=\"movie\" value=\"") + c.attribute + "\">");
        EXPECT_EQ(lines[5],
                  std::string("<embed src=\"") + c.attribute + "\" quality=\"high\" pluginspage=");
    }
}

TEST(HtmlPage, PageNameReplacesOnlyTheFileNamesExtension) {
    EXPECT_EQ(HtmlPageName("/work/tour.swf"), "/work/tour.htm");
    EXPECT_EQ(HtmlPageName("/work/tour"), "/work/tour.htm");
    EXPECT_EQ(HtmlPageName("/my.work/tour"), "/my.work/tour.htm");
    EXPECT_EQ(HtmlPageName("/my.work/tour.v2.swf"), "/my.work/tour.v2.htm");
    EXPECT_EQ(HtmlPageName("tour.swf"), "tour.htm");
    EXPECT_EQ(FileNamePart("/work/tour.swf"), "tour.swf");
    EXPECT_EQ(FileNamePart("tour.swf"), "tour.swf");
}

TEST(HtmlPage, SavedWithCarriageReturnLineFeedAndReplacesOldFile) {
    auto folder = std::filesystem::temp_directory_path() / "clipmoor-publish-test";
    std::filesystem::create_directories(folder);
    std::string name = (folder / "tour.htm").string();
    std::ofstream(name) << "an older and much longer page that must disappear completely\n";
    auto lines = MovieHtmlLines("tour.swf", 640, 480);
    ASSERT_TRUE(SaveHtmlPage(name, lines));
    std::ifstream in(name, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string expected;
    for (const auto& line : lines)
        expected += line + "\r\n";
    EXPECT_EQ(content.str(), expected);
    EXPECT_EQ(SaveHtmlPage((folder / "missing" / "x.htm").string(), lines).message,
              CannotCreateFileMessage(FileErrorReason(ENOENT)));
    std::filesystem::remove_all(folder);
}

} // namespace
