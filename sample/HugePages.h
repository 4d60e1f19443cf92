#pragma once

#include <cstddef>

/// Asks the system to back the whole 2 MiB pages inside [data, data + bytes) with huge pages, before they are
/// first written: a large array then takes a page fault per 2 MiB rather than per 4 KiB. Changes nothing
/// else, and nothing below 4 MiB or where the system does not offer it.
void advise_huge_pages(void* data, std::size_t bytes);
