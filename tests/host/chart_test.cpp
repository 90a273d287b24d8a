// zpkhost run --chart: the SVG file read back by an XML parser (expat), and drawn by a real
// renderer (rsvg-convert) into a PNG that is then read back (libpng).
#include "zpkhost_runner.hpp"

#include <expat.h>
#include <png.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zpk::test {
namespace {

// What the chart shows as text: every <text> element with its y, and how many elements of each
// name it has.
struct SvgContent {
    bool wellFormed = false;
    std::string error;
    std::string root;
    std::string rootNamespace;
    std::map<std::string, int> elements;
    std::vector<std::pair<std::string, double>> texts;  // content, y
};

struct SvgParse {
    SvgContent content;
    bool inText = false;
    std::string text;
    double textY = 0;
};

void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **attributes) {
    auto *parse = static_cast<SvgParse *>(data);
    if (parse->content.root.empty()) {
        parse->content.root = name;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            if (std::string(attributes[i]) == "xmlns") parse->content.rootNamespace = attributes[i + 1];
        }
    }
    ++parse->content.elements[name];
    if (std::string(name) == "text") {
        parse->inText = true;
        parse->text.clear();
        for (int i = 0; attributes[i] != nullptr; i += 2) {
            if (std::string(attributes[i]) == "y") parse->textY = std::atof(attributes[i + 1]);
        }
    }
}

void XMLCALL onEnd(void *data, const XML_Char *name) {
    auto *parse = static_cast<SvgParse *>(data);
    if (std::string(name) == "text") {
        parse->content.texts.emplace_back(parse->text, parse->textY);
        parse->inText = false;
    }
}

void XMLCALL onCharacters(void *data, const XML_Char *characters, int length) {
    auto *parse = static_cast<SvgParse *>(data);
    if (parse->inText) parse->text.append(characters, static_cast<std::size_t>(length));
}

SvgContent parseSvg(const std::string &document) {
    SvgParse parse;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &parse);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onCharacters);
    parse.content.wellFormed =
        XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
    if (!parse.content.wellFormed) {
        parse.content.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                              std::to_string(XML_GetCurrentLineNumber(parser));
    }
    XML_ParserFree(parser);
    return parse.content;
}

// The y of the text that starts with `prefix`, or -1.
double textY(const SvgContent &svg, const std::string &prefix) {
    for (const auto &[text, y] : svg.texts) {
        if (text.rfind(prefix, 0) == 0) return y;
    }
    return -1;
}

struct Picture {
    bool read = false;
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

Picture readPng(const std::string &path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGBA;
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    picture.read = png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr) != 0;
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

const std::vector<std::string> kModules = {"--module", "@Brevane", "--module", "@ZENOBAR", "--module", "@Ambrel"};

std::vector<std::string> chartRun(const std::string &chart, const std::vector<std::string> &formulas,
                                  const std::string &range) {
    std::vector<std::string> args = {"run", "--prices", samplePrices(), "--chart", chart};
    args.insert(args.end(), kModules.begin(), kModules.end());
    if (!range.empty()) {
        args.push_back("--range");
        args.push_back(range);
    }
    args.insert(args.end(), formulas.begin(), formulas.end());
    return args;
}

TEST_F(ZpkhostTest, TheChartIsWellFormedSvgWithALegendNamingEveryCallInItsPane) {
    const std::string chart = pathIn("chart.svg");
    // A formula with markup characters in its text, to see them escaped.
    const std::vector<std::string> formulas = {"ChannelHigh(close, 1, 0)", "MyMov(close, 20, Exponential)",
                                               "BrevanePeriod(close)", "AmbrelFunc", "SumArrays(\"O<H&L>C\")"};
    Outcome outcome = run(chartRun(chart, formulas, "2025-01-01:"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const SvgContent svg = parseSvg(readText(chart));
    ASSERT_TRUE(svg.wellFormed) << svg.error;
    EXPECT_EQ(svg.root, "svg");
    EXPECT_EQ(svg.rootNamespace, "http://www.w3.org/2000/svg");
    EXPECT_GE(svg.elements.at("path"), 5);

    // Fewer than 260 bars: OHLC bars. The channel and the average share the price pane's legend
    // row; the cycle period, the +1/-1 signal and the sum of four prices each have a pane below,
    // in the order of the formulas.
    const double prices = textY(svg, "Open, high, low, close  ");
    EXPECT_GT(prices, 0);
    EXPECT_EQ(textY(svg, "ChannelHigh(close, 1, 0)  "), prices);
    EXPECT_EQ(textY(svg, "MyMov(close, 20, Exponential)  "), prices);
    const double period = textY(svg, "BrevanePeriod(close)  ");
    const double signal = textY(svg, "AmbrelFunc  ");
    const double sum = textY(svg, "SumArrays(\"O<H&L>C\")  ");
    EXPECT_GT(period, prices + 300);
    EXPECT_GT(signal, period + 80);
    EXPECT_GT(sum, signal + 80);
    // Dates along the bottom: months of 2025.
    EXPECT_GT(textY(svg, "Feb 2025"), sum);
    EXPECT_GT(textY(svg, "Aug"), sum);
}

TEST_F(ZpkhostTest, ManyBarsAreDrawnAsTheCloseLineWithYearsAlongTheBottom) {
    const std::string chart = pathIn("chart.svg");
    Outcome outcome = run(chartRun(chart, {"MyMov(close, 50, Simple)"}, ""));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const SvgContent svg = parseSvg(readText(chart));
    ASSERT_TRUE(svg.wellFormed) << svg.error;
    EXPECT_GT(textY(svg, "Close  "), 0);
    EXPECT_EQ(textY(svg, "Open, high, low, close"), -1);
    for (const char *year : {"2019", "2021", "2025"}) EXPECT_GT(textY(svg, year), 0) << year;
}

TEST_F(ZpkhostTest, ARealRendererDrawsTheChartIntoAPictureThatIsNotBlank) {
    const std::string renderer = ZPK_RSVG_CONVERT;
    ASSERT_FALSE(renderer.empty()) << "rsvg-convert was not found when the build was configured: install "
                                      "Debian's librsvg2-bin";
    const std::string chart = pathIn("chart.svg");
    const std::string png = pathIn("chart.png");
    Outcome outcome = run(chartRun(chart, {"ChannelLow(close, 1, 0)", "BrevanePeriod(close)", "AmbrelFunc"},
                                   "2024-06-01:2024-12-31"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string command = "'" + renderer + "' '" + chart + "' -o '" + png + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const Picture picture = readPng(png);
    ASSERT_TRUE(picture.read) << png;
    EXPECT_EQ(picture.width, 1200u);
    EXPECT_GT(picture.height, 600u);
    std::size_t inked = 0;
    std::set<unsigned long> colours;
    for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
        const unsigned char r = picture.rgba[i], g = picture.rgba[i + 1], b = picture.rgba[i + 2];
        if (r < 200 || g < 200 || b < 200) ++inked;
        colours.insert((static_cast<unsigned long>(r) << 16) | (static_cast<unsigned long>(g) << 8) | b);
    }
    const double pixels = static_cast<double>(picture.width) * picture.height;
    EXPECT_GT(static_cast<double>(inked) / pixels, 0.03) << "too little is drawn";
    EXPECT_LT(static_cast<double>(inked) / pixels, 0.6) << "the picture is mostly ink";
    EXPECT_GT(colours.size(), 50u) << "lines, bars and text in several colours";
}

}  // namespace
}  // namespace zpk::test
