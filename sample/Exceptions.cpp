#include "sample/Exceptions.h"

Exceptions::Exceptions(const char* m) : message_(std::string("Exception: ") + (m ? m : "")) {}

const char* Exceptions::what() const noexcept { return message_.c_str(); }

void raise_exception(const char* m) { throw Exceptions(m); }
