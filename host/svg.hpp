// Writing SVG text: escaped texts, coordinates in a compact form, and the few elements a chart
// needs, appended to one document.
#ifndef ZPK_HOST_SVG_HPP
#define ZPK_HOST_SVG_HPP

#include <string>
#include <string_view>

namespace zpk::host {

// `text` with the characters XML gives a meaning (& < > " ') written as entities.
std::string xmlEscaped(std::string_view text);

// A coordinate with at most one decimal ("12.5", "300").
std::string coordinate(double value);

class SvgDocument {
public:
    SvgDocument(double width, double height);

    void line(double x1, double y1, double x2, double y2, std::string_view stroke, double width,
              std::string_view extra = {});
    void rect(double x, double y, double width, double height, std::string_view fill,
              std::string_view extra = {});
    // `anchor` is start, middle or end.
    void text(double x, double y, std::string_view content, std::string_view anchor, double size,
              std::string_view fill, std::string_view extra = {});
    // A path of one or more lines; `d` as built by PathBuilder.
    void path(const std::string &d, std::string_view stroke, double width, std::string_view extra = {});
    void raw(std::string_view element) { body_ += element; }

    std::string finish() const;

private:
    double width_, height_;
    std::string body_;
};

// The d attribute of a path: polylines that break where a point is missing.
class PathBuilder {
public:
    void point(double x, double y);
    void gap() { penDown_ = false; }
    bool empty() const { return d_.empty(); }
    const std::string &d() const { return d_; }

private:
    std::string d_;
    bool penDown_ = false;
};

}  // namespace zpk::host

#endif
