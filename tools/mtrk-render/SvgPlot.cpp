#include "SvgPlot.h"

#include "LoudnessMeter.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mtrk {
namespace {

constexpr double kLeft = 110.0;
constexpr double kPlotWidth = 1060.0;
constexpr double kTop = 48.0;
constexpr double kChannelHeight = 90.0;
constexpr double kTrackHeight = 44.0;
constexpr double kGap = 10.0;
constexpr double kLoudnessHeight = 90.0;
constexpr double kLoudnessFloor = -60.0; // LUFS at the panel's foot; 0 LUFS at its head

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case '&': out.append("&amp;"); break;
        case '"': out.append("&quot;"); break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string Num(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

class Canvas {
public:
    explicit Canvas(const PlotInput& input) : input_(input) {}

    double X(std::uint64_t frame) const
    {
        return kLeft + (input_.frames ? kPlotWidth * static_cast<double>(frame) / static_cast<double>(input_.frames) : 0.0);
    }
    void Line(double x1, double y1, double x2, double y2, const char* style)
    {
        svg_.append("<line x1=\"").append(Num(x1)).append("\" y1=\"").append(Num(y1)).append("\" x2=\"");
        svg_.append(Num(x2)).append("\" y2=\"").append(Num(y2)).append("\" style=\"").append(style).append("\"/>\n");
    }
    void Text(double x, double y, const std::string& text, const char* style)
    {
        svg_.append("<text x=\"").append(Num(x)).append("\" y=\"").append(Num(y)).append("\" style=\"");
        svg_.append(style).append("\">").append(Escape(text)).append("</text>\n");
    }
    void Polygon(const std::vector<std::pair<double, double>>& points, const char* style, const char* element = "polygon")
    {
        svg_.append("<").append(element).append(" style=\"").append(style).append("\" points=\"");
        for (const auto& [x, y] : points)
            svg_.append(Num(x)).append(",").append(Num(y)).append(" ");
        svg_.append("\"/>\n");
    }
    std::string& Out() { return svg_; }

private:
    const PlotInput& input_;
    std::string svg_;
};

// The envelope of channel `channel` reduced to one column per pixel.
void DrawChannel(Canvas& canvas, const PlotInput& input, std::uint16_t channel, double top)
{
    const double middle = top + kChannelHeight / 2.0;
    const double half = kChannelHeight / 2.0 - 2.0;
    canvas.Line(kLeft, middle, kLeft + kPlotWidth, middle, "stroke:#ccc;stroke-width:0.5");
    canvas.Text(8, middle + 4, Join("channel ", std::to_string(channel + 1)), "font:12px sans-serif;fill:#333");
    const auto& buckets = input.envelope->Buckets();
    const auto columns = static_cast<std::size_t>(kPlotWidth);
    std::vector<std::pair<double, double>> peakTop, rmsTop;
    std::vector<double> peaks, rmss;
    for (std::size_t column = 0; column < columns && !buckets.empty(); ++column) {
        const std::size_t first = column * buckets.size() / columns;
        const std::size_t last = std::max(first + 1, (column + 1) * buckets.size() / columns);
        float peak = 0.0f;
        double squares = 0.0;
        std::uint64_t frames = 0;
        for (std::size_t b = first; b < last && b < buckets.size(); ++b) {
            peak = std::max(peak, buckets[b].peak[channel]);
            squares += buckets[b].sumSquares[channel];
            frames += buckets[b].frames;
        }
        peaks.push_back(std::min(1.0f, peak));
        rmss.push_back(frames ? std::min(1.0, std::sqrt(squares / static_cast<double>(frames))) : 0.0);
    }
    const auto shape = [&](const std::vector<double>& values) {
        std::vector<std::pair<double, double>> points;
        for (std::size_t i = 0; i < values.size(); ++i)
            points.emplace_back(kLeft + static_cast<double>(i), middle - values[i] * half);
        for (std::size_t i = values.size(); i-- > 0;)
            points.emplace_back(kLeft + static_cast<double>(i), middle + values[i] * half);
        return points;
    };
    canvas.Polygon(shape(peaks), "fill:#9ecae1;stroke:none");
    canvas.Polygon(shape(rmss), "fill:#3182bd;stroke:none");
}

double LoudnessY(double top, double lufs)
{
    return top + kLoudnessHeight * std::clamp(lufs, kLoudnessFloor, 0.0) / kLoudnessFloor;
}

// The momentary loudness as a curve on a scale in LUFS, and the integrated
// loudness as a dashed line with its value.
void DrawLoudness(Canvas& canvas, const PlotInput& input, double top)
{
    canvas.Text(8, top + kLoudnessHeight / 2.0 - 4, "momentary", "font:12px sans-serif;fill:#333");
    canvas.Text(8, top + kLoudnessHeight / 2.0 + 10, "loudness", "font:12px sans-serif;fill:#333");
    for (double level = 0.0; level >= kLoudnessFloor; level -= 20.0) {
        const double y = LoudnessY(top, level);
        canvas.Line(kLeft, y, kLeft + kPlotWidth, y, "stroke:#ddd;stroke-width:0.5");
        canvas.Text(kLeft - 4, y + 3, Join(std::to_string(static_cast<int>(level)), " LUFS"),
                    "font:9px sans-serif;fill:#777;text-anchor:end");
    }
    const std::vector<double>& curve = input.loudness->Curve();
    const std::uint64_t step = input.loudness->StepFrames();
    std::vector<std::pair<double, double>> points;
    for (std::size_t i = 0; i < curve.size(); ++i)
        points.emplace_back(canvas.X(std::min<std::uint64_t>((i + 1) * step, input.frames)), LoudnessY(top, curve[i]));
    canvas.Polygon(points, "fill:none;stroke:#756bb1;stroke-width:1.5", "polyline");
    const double y = LoudnessY(top, input.integrated);
    if (input.integrated > -HUGE_VAL)
        canvas.Line(kLeft, y, kLeft + kPlotWidth, y, "stroke:#d62728;stroke-width:1;stroke-dasharray:6,3");
    canvas.Text(kLeft + kPlotWidth - 4, y - 4, Join("integrated ", FormatLevel(input.integrated), " LUFS"),
                "font:bold 11px sans-serif;fill:#d62728;text-anchor:end;"
                "paint-order:stroke;stroke:white;stroke-width:3");
}

void DrawTrack(Canvas& canvas, const PlotInput& input, std::size_t track, double top, double maxGain)
{
    const double bottom = top + kTrackHeight - 4.0;
    canvas.Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "stroke:#ccc;stroke-width:0.5");
    const std::string name = track < input.trackNames.size() && !input.trackNames[track].empty()
                                 ? input.trackNames[track]
                                 : Join("track ", std::to_string(track));
    canvas.Text(8, top + kTrackHeight / 2.0 + 4, name, "font:12px sans-serif;fill:#333");
    std::vector<std::pair<double, double>> points;
    for (const GainPoint& point : input.gains[track])
        points.emplace_back(canvas.X(point.frame), bottom - (kTrackHeight - 8.0) * std::clamp(point.gain, 0.0, maxGain) / maxGain);
    canvas.Polygon(points, "fill:none;stroke:#e6550d;stroke-width:2", "polyline");
}

} // namespace

std::string DrawSvg(const PlotInput& input)
{
    Canvas canvas(input);
    const std::uint16_t channels = input.envelope ? input.envelope->Channels() : 0;
    const double loudnessTop = kTop + channels * (kChannelHeight + kGap);
    const double tracksTop = loudnessTop + (input.loudness ? kLoudnessHeight + kGap : 0.0);
    const double bottom = tracksTop + static_cast<double>(input.gains.size()) * kTrackHeight + 10.0;
    const double height = bottom + 40.0;
    double maxGain = 1.0;
    for (const auto& line : input.gains)
        for (const GainPoint& point : line)
            maxGain = std::max(maxGain, point.gain);

    std::string& svg = canvas.Out();
    svg.append("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"").append(Num(height));
    svg.append("\" viewBox=\"0 0 1200 ").append(Num(height)).append("\">\n");
    svg.append("<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n");
    canvas.Text(kLeft, 22, input.title, "font:bold 14px sans-serif;fill:#111");

    // Time axis in seconds, and bar lines when there is a tempo.
    const double seconds = input.rate ? static_cast<double>(input.frames) / input.rate : 0.0;
    const double step = seconds > 60 ? 10.0 : seconds > 20 ? 5.0 : 1.0;
    for (double s = 0; s <= seconds; s += step) {
        const double x = canvas.X(static_cast<std::uint64_t>(s * input.rate));
        canvas.Line(x, bottom, x, bottom + 5, "stroke:#333");
        char label[16];
        std::snprintf(label, sizeof label, "%gs", s);
        canvas.Text(x - 6, bottom + 18, label, "font:10px sans-serif;fill:#333");
    }
    if (input.tempo.bpm > 0.0 && input.rate) {
        const double bar = input.tempo.BarFrames(input.rate);
        for (std::uint64_t k = 0;; ++k) {
            const auto line = static_cast<std::uint64_t>(std::llround(static_cast<double>(k) * bar));
            if (line < input.startPosition)
                continue;
            if (line - input.startPosition > input.frames)
                break;
            const double x = canvas.X(line - input.startPosition);
            canvas.Line(x, kTop - 6, x, bottom, "stroke:#bbb;stroke-width:0.7");
            canvas.Text(x + 2, kTop - 8, std::to_string(k + 1), "font:10px sans-serif;fill:#777");
        }
    }

    for (std::uint16_t c = 0; c < channels; ++c)
        DrawChannel(canvas, input, c, kTop + c * (kChannelHeight + kGap));
    if (input.loudness)
        DrawLoudness(canvas, input, loudnessTop);
    for (std::size_t t = 0; t < input.gains.size(); ++t)
        DrawTrack(canvas, input, t, tracksTop + static_cast<double>(t) * kTrackHeight, maxGain);

    double labelY = kTop + 12;
    for (const PlotMarker& marker : input.markers) {
        const double x = canvas.X(marker.frame);
        const bool isSwitch = marker.kind == MarkerKind::Switch;
        canvas.Line(x, kTop - 4, x, bottom,
                    isSwitch ? "stroke:#d62728;stroke-width:1.5"
                    : marker.kind == MarkerKind::Armed ? "stroke:#9467bd;stroke-width:1;stroke-dasharray:1,3"
                                                       : "stroke:#2ca02c;stroke-width:1;stroke-dasharray:4,3");
        canvas.Text(x + 3, labelY, marker.label,
                    isSwitch ? "font:bold 11px sans-serif;fill:#d62728;paint-order:stroke;stroke:white;stroke-width:3"
                    : marker.kind == MarkerKind::Armed ? "font:11px sans-serif;fill:#9467bd;paint-order:stroke;stroke:white;stroke-width:3"
                                                       : "font:11px sans-serif;fill:#2ca02c;paint-order:stroke;stroke:white;stroke-width:3");
        labelY = labelY > kTop + 60 ? kTop + 12 : labelY + 14;
    }
    canvas.Text(kLeft, height - 8,
                Join("light: peak, dark: RMS; orange: requested track gain (0 to ", Num(maxGain),
                     "); green dashed: immediate change; purple dotted: delayed change armed; red: where it took effect; grey: bar lines"),
                "font:11px sans-serif;fill:#555");
    svg.append("</svg>\n");
    return svg;
}

} // namespace mtrk
