#include "sample/Notices.h"

#include <algorithm>
#include <iterator>
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

void Notices::insert(std::size_t at, std::vector<Notice> more) {
    if (legacy_out_)
        for (const Notice& n : more)
            if (!n.legacy.empty()) {
                *legacy_out_ << n.legacy;
                legacy_out_->flush();
            }
    at = std::min(at, notices_.size());
    notices_.insert(notices_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
}

std::vector<Notice> Notices::take() {
    std::vector<Notice> out;
    out.swap(notices_);
    return out;
}
