#include "sample/Exceptions.h"

#include <cstdio>

Exceptions::Exceptions(const char* m) : message_(std::string("Exception: ") + (m ? m : "")) {}

const char* Exceptions::what() const noexcept { return message_.c_str(); }

void raise_exception(const char* m) { throw Exceptions(m); }

void raise_out_of_memory(const std::string& what, double bytes) {
    char size[32];
    if (bytes >= 1e9) {
        std::snprintf(size, sizeof size, "%.3g GB", bytes / 1e9);
    } else {
        std::snprintf(size, sizeof size, "%.3g MB", bytes / 1e6);
    }
    throw OutOfMemory("not enough memory for " + what + " (" + size + ")");
}

std::string out_of_memory_text(const std::bad_alloc& e, const std::string& stage) {
    if (const auto* known = dynamic_cast<const OutOfMemory*>(&e)) return known->what();
    return "not enough memory for " + stage;
}
