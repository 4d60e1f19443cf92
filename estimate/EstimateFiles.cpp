#include "estimate/EstimateFiles.h"

#include "sample/Exceptions.h"
#include "sample/OutputFile.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

namespace {

void append_number(std::string& out, double v, int digits) {
    if (std::isnan(v)) {
        out += "NA";
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    out.append(buf, res.ptr);
}

void check_names(const char* writer, const std::vector<std::string>& names, std::size_t n) {
    if (!names.empty() && names.size() != n)
        raise_exception((std::string(writer) + ": " + std::to_string(names.size()) + " names for " + std::to_string(n) +
                         " individuals")
                            .c_str());
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].find_first_of("\t\n\r") != std::string::npos)
            raise_exception((std::string(writer) + ": the name of individual " + std::to_string(i + 1) +
                             " holds a tab or a line break")
                                .c_str());
}

void append_shortest(std::string& out, double v) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void check_membership(const Membership& membership, const std::vector<std::string>& names) {
    check_names("write_membership", names, membership.cluster.size());
    const std::size_t cells = membership.cluster.size() * static_cast<std::size_t>(std::max(membership.clusters, 0));
    if (membership.share.size() != cells)
        raise_exception(("write_membership: " + std::to_string(membership.share.size()) + " segments for " +
                         std::to_string(membership.cluster.size()) + " individuals and " +
                         std::to_string(membership.clusters) + " clusters")
                            .c_str());
}

void append_individual(std::string& line, std::size_t i, const std::vector<std::string>& names) {
    line += std::to_string(i + 1);
    line += '\t';
    if (names.empty())
        line += std::to_string(i + 1);
    else
        append_tsv_field(line, names[i]);
    line += '\t';
}

}  // namespace

void write_clustering(std::ostream& out, const Estimate& estimate, const std::vector<std::string>& names) {
    check_names("write_clustering", names, estimate.cluster.size());
    out << "individual\tname\tcluster\twithin\tnearest_cluster\tnearest\n";
    std::string line;
    for (std::size_t i = 0; i < estimate.cluster.size(); ++i) {
        const IndividualDoubt d = i < estimate.doubt.size() ? estimate.doubt[i] : IndividualDoubt{NAN, 0, NAN};
        line.clear();
        append_individual(line, i, names);
        line += std::to_string(estimate.cluster[i]);
        line += '\t';
        append_number(line, d.within, 6);
        line += '\t';
        line += d.nearest_cluster > 0 ? std::to_string(d.nearest_cluster) : "NA";
        line += '\t';
        append_number(line, d.nearest_cluster > 0 ? d.nearest : NAN, 6);
        line += '\n';
        out << line;
    }
}

void write_estimate_summary(std::ostream& out, const Estimate& estimate) {
    std::string text = "loss\t";
    text += loss_name(estimate.loss);
    text += "\nexpected_loss\t";
    append_number(text, estimate.expected_loss, 9);
    text += "\nclusters\t" + std::to_string(estimate.clusters);
    text += "\ncredible_ball_radius_95\t";
    append_number(text, estimate.credible_ball_radius_95, 9);
    text += "\ndraws\t" + std::to_string(estimate.draws);
    text += "\nseed\t" + std::to_string(estimate.seed) + "\n";
    out << text;
}

void write_cut(std::ostream& out, const std::vector<std::int32_t>& cluster, const std::vector<std::string>& names) {
    check_names("write_cut", names, cluster.size());
    out << "individual\tname\tcluster\n";
    std::string line;
    for (std::size_t i = 0; i < cluster.size(); ++i) {
        line.clear();
        append_individual(line, i, names);
        line += std::to_string(cluster[i]);
        line += '\n';
        out << line;
    }
}

void write_membership(std::ostream& out, const Membership& membership, const std::vector<std::string>& names) {
    check_membership(membership, names);
    const auto k = static_cast<std::size_t>(std::max(membership.clusters, 0));
    std::string line = "individual\tname\tcluster";
    for (std::size_t c = 1; c <= k; ++c) line += "\tcluster_" + std::to_string(c);
    line += '\n';
    out << line;
    for (std::size_t i = 0; i < membership.cluster.size(); ++i) {
        line.clear();
        append_individual(line, i, names);
        line += std::to_string(membership.cluster[i]);
        for (std::size_t c = 0; c < k; ++c) {
            line += '\t';
            append_shortest(line, membership.share[i * k + c]);
        }
        line += '\n';
        out << line;
    }
}

bool write_clustering_file(const std::string& path, const Estimate& estimate, const std::vector<std::string>& names,
                           Notices& notes) {
    check_names("write_clustering", names, estimate.cluster.size());
    return write_output_file(path, "", notes, [&](std::ostream& out) { write_clustering(out, estimate, names); });
}

bool write_estimate_file(const std::string& path, const Estimate& estimate, Notices& notes) {
    return write_output_file(path, "", notes, [&](std::ostream& out) { write_estimate_summary(out, estimate); });
}

bool write_cut_file(const std::string& path, const std::vector<std::int32_t>& cluster,
                    const std::vector<std::string>& names, Notices& notes) {
    check_names("write_cut", names, cluster.size());
    return write_output_file(path, "", notes, [&](std::ostream& out) { write_cut(out, cluster, names); });
}

bool write_membership_file(const std::string& path, const Membership& membership, const std::vector<std::string>& names,
                           Notices& notes) {
    check_membership(membership, names);
    return write_output_file(path, "", notes, [&](std::ostream& out) { write_membership(out, membership, names); });
}
