#include "svg.hpp"

#include <cmath>
#include <cstdio>

namespace zpk::host {

std::string xmlEscaped(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string coordinate(double value) {
    const double rounded = std::round(value * 10.0) / 10.0;
    char text[32];
    if (rounded == std::floor(rounded)) {
        std::snprintf(text, sizeof text, "%.0f", rounded);
    } else {
        std::snprintf(text, sizeof text, "%.1f", rounded);
    }
    return std::string(text) == "-0" ? "0" : text;
}

SvgDocument::SvgDocument(double width, double height) : width_(width), height_(height) {}

void SvgDocument::line(double x1, double y1, double x2, double y2, std::string_view stroke, double width,
                       std::string_view extra) {
    body_ += "<line x1=\"" + coordinate(x1) + "\" y1=\"" + coordinate(y1) + "\" x2=\"" + coordinate(x2) +
             "\" y2=\"" + coordinate(y2) + "\" stroke=\"" + std::string(stroke) + "\" stroke-width=\"" +
             coordinate(width) + "\"" + (extra.empty() ? "" : " " + std::string(extra)) + "/>\n";
}

void SvgDocument::rect(double x, double y, double width, double height, std::string_view fill,
                       std::string_view extra) {
    body_ += "<rect x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" width=\"" + coordinate(width) +
             "\" height=\"" + coordinate(height) + "\" fill=\"" + std::string(fill) + "\"" +
             (extra.empty() ? "" : " " + std::string(extra)) + "/>\n";
}

void SvgDocument::text(double x, double y, std::string_view content, std::string_view anchor, double size,
                       std::string_view fill, std::string_view extra) {
    body_ += "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" text-anchor=\"" +
             std::string(anchor) + "\" font-size=\"" + coordinate(size) + "\" fill=\"" + std::string(fill) +
             "\"" + (extra.empty() ? "" : " " + std::string(extra)) + ">" + xmlEscaped(content) + "</text>\n";
}

void SvgDocument::path(const std::string &d, std::string_view stroke, double width, std::string_view extra) {
    body_ += "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + std::string(stroke) + "\" stroke-width=\"" +
             coordinate(width) + "\" stroke-linejoin=\"round\"" +
             (extra.empty() ? "" : " " + std::string(extra)) + "/>\n";
}

std::string SvgDocument::finish() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + coordinate(width_) + "\" height=\"" +
           coordinate(height_) + "\" viewBox=\"0 0 " + coordinate(width_) + " " + coordinate(height_) +
           "\" font-family=\"DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif\">\n"
           "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n" +
           body_ + "</svg>\n";
}

void PathBuilder::point(double x, double y) {
    d_ += (penDown_ ? "L" : "M") + coordinate(x) + " " + coordinate(y) + " ";
    penDown_ = true;
}

}  // namespace zpk::host
