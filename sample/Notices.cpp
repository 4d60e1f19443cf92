#include "sample/Notices.h"

#include <ostream>
#include <utility>

Notices::Notices(std::ostream* legacy_out) : legacy_out_(legacy_out) {}

void Notices::report(std::string legacy, std::string text, NoticeLevel level) {
    if (legacy_out_ && !legacy.empty()) {
        *legacy_out_ << legacy;
        legacy_out_->flush();
    }
    notices_.push_back(Notice{std::move(legacy), std::move(text), level});
}

std::vector<Notice> Notices::take() {
    std::vector<Notice> out;
    out.swap(notices_);
    return out;
}
