// Draws the throughput of SDK content pushes against plain socket writes, by
// payload size, from sdk_bench's JSON output (--benchmark_out), as an SVG.
//   throughput_svg <sdk_bench.json> <out.svg>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct Point {
    double sdk = 0;
    double plain = 0;
};

std::string sizeLabel(double bytes) {
    if (bytes >= 1 << 20)
        return std::to_string(static_cast<long>(bytes) >> 20) + " MB";
    return std::to_string(static_cast<long>(bytes) >> 10) + " KB";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: throughput_svg <sdk_bench.json> <out.svg>\n";
        return 2;
    }
    std::ifstream input(argv[1]);
    nlohmann::json results;
    try {
        results = nlohmann::json::parse(input);
    } catch (const nlohmann::json::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << '\n';
        return 1;
    }

    // payload bytes -> MB/s: the median of repeated runs, or the one run.
    std::map<double, Point> points, medians;
    for (const auto& run : results.value("benchmarks", nlohmann::json::array())) {
        const std::string name = run.value("run_name", run.value("name", ""));
        if (name.rfind("ContentPush/", 0) != 0 || !run.contains("sdk_MBps"))
            continue;
        const double size = std::stod(name.substr(std::string("ContentPush/").size()));
        const Point point{run["sdk_MBps"].get<double>(), run["plain_MBps"].get<double>()};
        if (run.value("run_type", "") != "aggregate")
            points[size] = point;
        else if (run.value("aggregate_name", "") == "median")
            medians[size] = point;
    }
    for (const auto& [size, point] : medians)
        points[size] = point;
    if (points.empty()) {
        std::cerr << argv[1] << ": no ContentPush results\n";
        return 1;
    }

    constexpr double width = 640, height = 430, left = 70, right = 20, top = 40, bottom = 90;
    const double plotWidth = width - left - right, plotHeight = height - top - bottom;
    double highest = 0;
    for (const auto& [size, point] : points)
        highest = std::max({highest, point.sdk, point.plain});
    // A round step of 1, 2 or 5 times a power of ten, for about five grid lines.
    const double rough = highest / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * magnitude;
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * magnitude >= rough) {
            step = factor * magnitude;
            break;
        }
    const double yTop = std::ceil(highest / step) * step;
    const double xLow = std::log2(points.begin()->first), xHigh = std::log2(points.rbegin()->first);
    auto x = [&](double size) {
        return left + (xHigh > xLow ? (std::log2(size) - xLow) / (xHigh - xLow) : 0.5) * plotWidth;
    };
    auto y = [&](double value) { return top + plotHeight - value / yTop * plotHeight; };

    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << width / 2 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"14\">"
        << "Content pushes to a draining host: SDK and plain socket writes</text>\n";
    for (double value = 0; value <= yTop + step / 2; value += step) {
        svg << "<line x1=\"" << left << "\" x2=\"" << left + plotWidth << "\" y1=\"" << y(value) << "\" y2=\""
            << y(value) << "\" stroke=\"#ddd\"/>\n"
            << "<text x=\"" << left - 6 << "\" y=\"" << y(value) + 4 << "\" text-anchor=\"end\">" << value
            << "</text>\n";
    }
    for (const auto& [size, point] : points)
        svg << "<text x=\"" << x(size) << "\" y=\"" << top + plotHeight + 18 << "\" text-anchor=\"middle\">"
            << sizeLabel(size) << "</text>\n";
    svg << "<line x1=\"" << left << "\" x2=\"" << left << "\" y1=\"" << top << "\" y2=\"" << top + plotHeight
        << "\" stroke=\"black\"/>\n"
        << "<line x1=\"" << left << "\" x2=\"" << left + plotWidth << "\" y1=\"" << top + plotHeight
        << "\" y2=\"" << top + plotHeight << "\" stroke=\"black\"/>\n"
        << "<text x=\"" << left + plotWidth / 2 << "\" y=\"" << top + plotHeight + 40
        << "\" text-anchor=\"middle\">payload per message</text>\n"
        << "<text transform=\"translate(18 " << top + plotHeight / 2
        << ") rotate(-90)\" text-anchor=\"middle\">MB/s received by the host</text>\n";

    const struct {
        const char* label;
        const char* colour;
        double Point::*value;
    } series[] = {{"plain send on an AF_UNIX socket", "#888", &Point::plain},
                  {"SDK (HalvKeshAddContentAs)", "#c0392b", &Point::sdk}};
    int row = 0;
    for (const auto& line : series) {
        svg << "<polyline fill=\"none\" stroke=\"" << line.colour << "\" stroke-width=\"2\" points=\"";
        for (const auto& [size, point] : points)
            svg << x(size) << ',' << y(point.*line.value) << ' ';
        svg << "\"/>\n";
        for (const auto& [size, point] : points)
            svg << "<circle cx=\"" << x(size) << "\" cy=\"" << y(point.*line.value) << "\" r=\"3\" fill=\""
                << line.colour << "\"/>\n";
        // The legend goes under the plot, where no line can run through it.
        const double legendY = height - 18;
        const double legendX = left + 290 * row++;
        svg << "<line x1=\"" << legendX << "\" x2=\"" << legendX + 24 << "\" y1=\"" << legendY << "\" y2=\""
            << legendY << "\" stroke=\"" << line.colour << "\" stroke-width=\"2\"/>\n"
            << "<text x=\"" << legendX + 30 << "\" y=\"" << legendY + 4 << "\">" << line.label << "</text>\n";
    }
    svg << "</svg>\n";

    std::ofstream output(argv[2]);
    output << svg.str();
    return output ? 0 : 1;
}
