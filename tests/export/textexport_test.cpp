#include "exportfixtures.h"

#include "export/textexport.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Three segments covering the specials, a CRLF line break, an unknown voice and non-ASCII text.
class TextExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        segs_ = {
            seg(1, 0, "Hello <world> & \"friends\" 'x'"),
            seg(2, 4, "Line one\r\nLine two"),
            seg(3, 9, u8"Ünïcode ✓"),
        };
    }
    static ProjectSeg seg(int id, int voiceId, const std::string& text) {
        ProjectSeg s;
        s.id = id;
        s.voice_id = voiceId;
        s.text = text;
        return s;
    }
    static ProjectVoice voiceOf(int id) {
        ProjectVoice v;
        if (id == 0) {
            v.name = "Anna & <Co>";
            v.color = "#A22A2B";
        } else if (id == 4) {
            v.name = "Bob";
            v.color = "#123456";
        }
        return v;
    }
    std::string file(const char* name) const { return dir_.filePath(name).toStdString(); }

    QTemporaryDir dir_;
    std::vector<ProjectSeg> segs_;
};

TEST(HtmlEncodeTest, EscapesSpecialsAndLineBreaksOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain text", "plain text"},
        {"a<b>c", "a&lt;b&gt;c"},
        {"Tom & \"Jerry\"'s", "Tom &amp; &quot;Jerry&quot;&apos;s"},
        {"one\ntwo", "one<br/>two"},
        {"one\r\ntwo\r", "one<br/>two"},
        {"&amp;", "&amp;amp;"},
        {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(htmlEncode(c.first), c.second) << c.first;
    }
}

TEST_F(TextExportTest, PlainTextBlocksWithAndWithoutSpeaker) {
    std::string error;
    ASSERT_TRUE(tts_export_text_txt(segs_, voiceOf, file("with.txt"), true, error)) << error;
    EXPECT_EQ(readFileBytes(file("with.txt")), "Anna & <Co>:\nHello <world> & \"friends\" 'x'\n\n"
                                               "Bob:\nLine one\r\nLine two\n\n"
                                               u8":\nÜnïcode ✓\n\n");

    ASSERT_TRUE(tts_export_text_txt(segs_, voiceOf, file("without.txt"), false, error)) << error;
    EXPECT_EQ(readFileBytes(file("without.txt")), "Hello <world> & \"friends\" 'x'\n\n"
                                                  "Line one\r\nLine two\n\n"
                                                  u8"Ünïcode ✓\n\n");

    ASSERT_TRUE(tts_export_text_txt({}, voiceOf, file("without.txt"), true, error)) << error;
    EXPECT_EQ(readFileBytes(file("without.txt")), "");
}

std::string sourcePng(const char* resPath) {
    return readFileBytes(std::string(PARLONA_SOURCE_DIR) + "/" + resPath);
}

std::string expectedHtml(const std::string& title, const std::string& body) {
    auto data = [](const char* res) {
        const std::string png = sourcePng(res);
        return "url(\"data:image/png;base64," +
               QByteArray(png.data(), static_cast<int>(png.size())).toBase64().toStdString() + "\")";
    };
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n    <meta charset=\"UTF-8\">\n"
           "    <meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">\n"
           "    <meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">"
           "<title>" +
           title +
           "</title><style>\n"
           "* {\n    font-family: Arial;\n    font-size: 12pt;\n    color: #333333;\n}\n\n"
           "p {\n    margin: 5px 0 5px 0;\n}\n\n"
           "a {\n    text-decoration: none;\n}\n\n"
           ".column {\n    display: flex;\n    flex-direction: column\n}\n\n"
           ".row-left {\n    display: flex;\n    flex-direction: row\n}\n\n"
           ".row-center {\n    display: flex;\n    flex-direction: row;\n    justify-content: center\n}\n\n"
           ".row-right {\n    display: flex;\n    flex-direction: row-reverse\n}\n\n"
           ".bb1 {\n    padding: 10px 11px 10px 25px;\n    border-image-source: " +
           data("res/bb1.png") +
           ";\n    border-image-slice: 19 8 8 22 fill;\n    border-image-width: 19px 8px 8px 22px;\n"
           "    border-image-repeat: stretch;\n    max-width: 80%;\n    margin: 5px 0 5px 0;\n}\n\n"
           ".bb2 {\n    padding: 10px 25px 10px 12px;\n    border-image-source: " +
           data("res/bb2.png") +
           ";\n    border-image-slice: 19 19 8 6 fill;\n    border-image-width: 19px 19px 8px 6px;\n"
           "    border-image-repeat: stretch;\n    max-width: 80%;\n    margin: 5px 0 5px 0;\n}\n\n"
           ".round {\n    padding: 5px 7px 7px 7px;\n    border-image-source: " +
           data("res/round.png") +
           ";\n    border-image-slice: 5 7 7 7 fill;\n    border-image-width: 5px 7px 7px 7px;\n"
           "    border-image-repeat: stretch;\n    color: #586770;\n    margin: 10px 0 0 0;\n}\n"
           "</style></head><body><div class=\"column\">" +
           body + "</div></body></html>";
}

TEST_F(TextExportTest, HtmlPageWithAndWithoutSpeaker) {
    std::string error;
    ASSERT_TRUE(tts_export_text_html(segs_, voiceOf, file("a&b.html"), true, error)) << error;
    EXPECT_EQ(
        readFileBytes(file("a&b.html")),
        expectedHtml("a&amp;b.html",
                     "<div class=\"row-left\"><div class=\"bb1\">"
                     "<p style=\"text-align:left;color:#A22A2B\">Anna &amp; &lt;Co&gt;</p>"
                     "Hello &lt;world&gt; &amp; &quot;friends&quot; &apos;x&apos;</div></div>"
                     "<div class=\"row-left\"><div class=\"bb1\">"
                     "<p style=\"text-align:left;color:#123456\">Bob</p>Line one<br/>Line two</div></div>"
                     "<div class=\"row-left\"><div class=\"bb1\"><p style=\"text-align:left;color:\"></p>"
                     u8"Ünïcode ✓</div></div>"));

    ASSERT_TRUE(tts_export_text_html({segs_[1]}, voiceOf, file("text.html"), false, error)) << error;
    EXPECT_EQ(readFileBytes(file("text.html")),
              expectedHtml("text.html",
                           "<div class=\"row-left\"><div class=\"bb1\">Line one<br/>Line two</div></div>"));

    ASSERT_TRUE(tts_export_text_html({}, voiceOf, file("text.html"), true, error)) << error;
    EXPECT_EQ(readFileBytes(file("text.html")), expectedHtml("text.html", ""));
}

using Writer = bool (*)(const std::vector<ProjectSeg>&, const TTSVoiceLookup&, const std::string&, bool,
                        std::string&);

TEST_F(TextExportTest, WritersReportFilesThatCannotBeWritten) {
    const std::vector<std::pair<const char*, Writer>> writers = {{"txt", tts_export_text_txt},
                                                                 {"html", tts_export_text_html}};
    for (const auto& w : writers) {
        std::string error;
        EXPECT_FALSE(w.second(segs_, voiceOf, file("missing/text.out"), true, error)) << w.first;
        EXPECT_EQ(error, "No such file or directory") << w.first;

        error.clear();
        EXPECT_FALSE(w.second(segs_, voiceOf, "/dev/full", true, error)) << w.first;
        EXPECT_EQ(error, "No space left on device") << w.first;
    }
}

TEST(BubbleImagesTest, ResourceImagesHaveTheirSizesAndFills) {
    struct Case {
        const char* path;
        QSize size;
        QPoint middle; // inside the stretched middle part of the nine-part image
        QColor fill;
    };
    const std::vector<Case> cases = {
        {":/res/bb1.png", QSize(40, 30), QPoint(26, 20), QColor(247, 247, 247)},
        {":/res/bb2.png", QSize(40, 30), QPoint(13, 20), QColor(222, 244, 232)},
        {":/res/round.png", QSize(16, 19), QPoint(8, 8), QColor(231, 244, 255)},
    };
    for (const Case& c : cases) {
        const QImage image(c.path);
        ASSERT_FALSE(image.isNull()) << c.path;
        EXPECT_EQ(image.size(), c.size) << c.path;
        EXPECT_EQ(image.pixelColor(c.middle), c.fill) << c.path;
    }
}

} // namespace
