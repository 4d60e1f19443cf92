#include "sample/ClusteringCheck.h"

#include "sample/RunChecks.h"

#include <algorithm>
#include <cstring>

void ClusteringCheck::whole_cluster(std::int32_t size) {
    if (size == n_) return;
    faulty_ = true;
    if (detailed_)
        sizes_.push_back("its one cluster declares " + grouped_digits(size) +
                         (size == 1 ? " individual" : " individuals") + ", not " + grouped_digits(n_));
}

void ClusteringCheck::repeated(std::int32_t x) {
    faulty_ = true;
    if (detailed_ && x > 0 && std::find(repeated_.begin(), repeated_.end(), x) == repeated_.end())
        repeated_.push_back(x);
}

void ClusteringCheck::line_rest(std::int32_t j, std::int32_t m, int extra) {
    if (extra == 0) return;
    faulty_ = true;
    if (detailed_)
        sizes_.push_back("cluster " + std::to_string(j) + " declares " + grouped_digits(m) +
                         (m == 1 ? " individual" : " individuals") + " but its line lists " +
                         grouped_digits(m + extra));
}

std::int64_t ClusteringCheck::unlisted(const std::uint8_t* row) {
    if (std::memchr(row + 1, 0, static_cast<std::size_t>(n_)) == nullptr) return 0;
    faulty_ = true;
    std::int64_t count = 0;
    for (std::int32_t x = 1; x <= n_; ++x) {
        if (row[x] != 0) continue;
        ++count;
        if (detailed_) unlisted_.push_back(x);
    }
    return count;
}

std::string ClusteringCheck::problem() const {
    std::vector<std::string> parts;
    for (const std::string& s : sizes_) parts.push_back(s);
    if (!unlisted_.empty())
        parts.push_back(individuals_text(unlisted_) + (unlisted_.size() == 1 ? " is" : " are") + " in no cluster");
    if (!repeated_.empty())
        parts.push_back(individuals_text(repeated_) + (repeated_.size() == 1 ? " is" : " are") +
                        " listed in more than one cluster");
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : "; ") + p;
    return text;
}

std::string individuals_text(const std::vector<std::int32_t>& xs) {
    if (xs.empty()) return {};
    constexpr std::size_t shown = 6;
    std::string text = xs.size() == 1 ? "individual " : "individuals ";
    if (xs.size() > shown) {
        for (std::size_t i = 0; i < shown; ++i) text += std::to_string(xs[i]) + ", ";
        return text + "... (" + grouped_digits(static_cast<std::int64_t>(xs.size())) + " in all)";
    }
    for (std::size_t i = 0; i < xs.size(); ++i)
        text += (i == 0 ? "" : i + 1 == xs.size() ? " and " : ", ") + std::to_string(xs[i]);
    return text;
}

std::string clustering_faults_text(const std::string& name, const ClusteringFaults& faults, std::int64_t records,
                                   std::int32_t n_indivs) {
    if (faults.records <= 0) return {};
    return name + " line " + std::to_string(faults.first_line) + ": the record is not a clustering of individuals 1.." +
           std::to_string(n_indivs) + ": " + faults.first_problem + ". " + grouped_digits(faults.records) + " of the " +
           grouped_digits(records) + " records used " + (faults.records == 1 ? "is" : "are") +
           " like that; they are used as listed (an individual listed twice keeps its last cluster, individuals " +
           "listed in no cluster share cluster 0).";
}
