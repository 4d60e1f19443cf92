#include "summary/Posterior.h"

#include "sample/OutputFile.h"
#include "sample/TextFormat.h"

#include <cmath>
#include <ostream>

double prior_of_k(double U, std::int32_t k, std::int32_t Kmax) {
    return std::pow(U, k - 1) * (1.0 - U) / (1.0 - std::pow(U, Kmax));
}

std::optional<Posterior> compute_posterior(const RunHeader& header, const MC_Sample& store, std::int32_t b) {
    const std::int64_t retained = store.count_retained(b);
    if (header.declared_observations() == 0 || retained == 0) return std::nullopt;
    const auto n = static_cast<double>(retained);
    Posterior post;
    post.burn_in = b;
    post.title = "Posterior distribution of k (burn in = " + std::to_string(b) + " )";
    post.p.assign(static_cast<std::size_t>(header.Kmax) + 1, 0.0);
    post.draws = store.k_histogram(b);
    post.draws.resize(static_cast<std::size_t>(header.Kmax) + 1, 0);
    for (std::int32_t k = 1; k <= header.Kmax; ++k)
        post.p[static_cast<std::size_t>(k)] = static_cast<double>(post.draws[static_cast<std::size_t>(k)]) / n;

    const double p1 = header.Kmax >= 1 ? post.p[1] : 0.0;
    const double prior1 = header.U == 1.0 ? 1.0 / header.Kmax : prior_of_k(header.U, 1, header.Kmax);
    if (p1 != 1.0 && std::isfinite(prior1) && prior1 > 0.0)
        post.bayes_factor = (p1 / (1.0 - p1)) * ((1.0 - prior1) / prior1);
    return post;
}

void print_posterior(std::ostream& out, const std::string& result_path, const RunHeader& h, const Posterior& post) {
    std::string text;
    text += result_path + "\r\n";
    text += "Number of individuals : " + std::to_string(h.n_indivs) + "\r\n";
    text += "Kmax : " + std::to_string(h.Kmax) + "\r\n";
    text += "Number of observations :" + std::to_string(h.declared_observations()) + "\r\n";
    text += "Period : " + std::to_string(h.period) + "\r\n";
    text += "U :" + general_text(h.U) + "\r\n";
    text += "Theta : " + general_text(h.Theta) + "\r\n";
    text += "\r\n";
    text += "Bayes factor : ";
    if (post.bayes_factor) {
        text += general_text(*post.bayes_factor) + "\r\n";
    } else {
        text += " Not defined \r\n\r\n";
    }
    text += "k \t Posterior prob of k\r\n";
    for (std::size_t k = 1; k < post.p.size(); ++k) {
        text += std::to_string(k);
        text += '\t';
        append_general(text, post.p[k]);
        text += "\r\n";
    }
    out << text;
}

bool write_posterior_file(const std::string& path, const std::string& result_path, const RunHeader& header,
                          const Posterior& posterior, Notices& notes) {
    return write_output_file(path, "", notes,
                             [&](std::ostream& out) { print_posterior(out, result_path, header, posterior); });
}
