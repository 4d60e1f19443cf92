#include "sample/RunChecks.h"

#include "sample/TextFormat.h"

std::int64_t count_above_Kmax(const MC_Sample& store, std::int32_t burn_in) {
    std::int64_t above = 0;
    const std::uint8_t* data = store.data();
    const std::size_t stride = store.stride();
    for (const MC_Sample::Range r : store.retained_ranges(burn_in))
        for (std::int32_t i = r.first; i < r.last; ++i)
            if (data[static_cast<std::size_t>(i) * stride] > store.Kmax()) ++above;
    return above;
}

std::string above_Kmax_text(std::int64_t above, std::int64_t retained, std::int32_t Kmax) {
    if (above <= 0) return {};
    return grouped_digits(above) + " of the " + grouped_digits(retained) +
           " observations from the burn-in on have k above the header's Kmax of " + grouped_digits(Kmax) +
           "; the posterior of k and the tree leave them out.";
}

std::string short_run_text(std::int64_t stored, std::int64_t declared) {
    if (stored >= declared) return {};
    return "the file holds " + grouped_digits(stored) + " of the " + grouped_digits(declared) +
           " observations its header declares; the run may still be going or the file was cut.";
}

std::vector<std::string> run_size_texts(const LoadReport& report, std::int64_t stored, std::int64_t declared) {
    std::vector<std::string> texts;
    const std::string short_text = short_run_text(stored, declared);
    if (!short_text.empty()) texts.push_back(short_text);
    if (report.last_listed_unused)
        texts.push_back(
            "the trajectory file lists one observation more than was used: the last, which was cut short (the "
            "posterior, the trace and every other output leave it out).");
    return texts;
}

std::string header_U_text(const RunHeader& header) {
    if (header.U > 0) return {};
    return "the header's U is " + general_text(header.U) +
           "; U must be above 0 for the prior of k to be a distribution over 1..Kmax, so the Bayes factor of "
           "k = 1 against k > 1 means nothing here.";
}

std::string grouped_digits(std::int64_t v) {
    const std::string digits = std::to_string(v);
    const std::size_t sign = v < 0 ? 1 : 0;
    std::string out = digits.substr(0, sign);
    const std::size_t n = digits.size() - sign;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[sign + i];
    }
    return out;
}
