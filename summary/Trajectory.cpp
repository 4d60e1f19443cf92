#include "summary/Trajectory.h"

#include "sample/ByteSource.h"
#include "sample/OutputFile.h"
#include "sample/TextCursor.h"

#include <cstdio>
#include <ostream>

std::optional<std::vector<TracePoint>> read_side_file(const std::string& side_path, Notices& notes) {
    std::string text;
    std::string error;
    // The side file holds about 15 bytes an observation: 4 GiB is far more than 2^31 observations take.
    if (side_path.empty() || !read_text_file(side_path, "trajectory file", std::int64_t{1} << 32, text, error)) {
        notes.report(
            "FILE NOT found ! : " + side_path,
            side_path.empty() ? std::string("No result file has been opened yet, so there is no trajectory.") : error);
        return std::nullopt;
    }
    std::vector<TracePoint> points;
    points.reserve(text.size() / 12);
    TextCursor c(text.data(), text.data() + text.size());
    while (c.skip_space()) {
        const int line = c.line();
        TracePoint p;
        double k = 0;
        if (c.read_real(p.log_likelihood) != TextCursor::Read::ok || c.read_real(k) != TextCursor::Read::ok ||
            k < -2147483648.0 || k > 2147483647.0) {
            notes.report("", "The trajectory file " + side_path + " has a line that is not two numbers (line " +
                                 std::to_string(line) + "); the trajectory stops there.");
            break;
        }
        p.k = static_cast<int>(k);
        points.push_back(p);
        c.skip_line();
    }
    return points;
}

void print_trajectory(std::ostream& out, const std::vector<TracePoint>& points) {
    std::string text = "  k  \t Log likelihood\r\n";
    char buf[512];
    for (const TracePoint& p : points) {
        std::snprintf(buf, sizeof buf, "%d\t%lf\r\n", p.k, p.log_likelihood);
        text += buf;
    }
    out << text;
}

bool save_trajectory_file(const std::string& path, const std::string& side_path, Notices& notes) {
    const auto points = read_side_file(side_path, notes);
    static const std::vector<TracePoint> none;
    return write_output_file(path, "", notes,
                             [&](std::ostream& out) { print_trajectory(out, points ? *points : none); });
}
