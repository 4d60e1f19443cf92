#pragma once

#include <string>

/// The hidden name of a file being written in place of `base` (a name without folder):
/// ".BASE.tmp-HOST-PID-N", with this host's name, this process's id and a count that makes each new.
std::string temporary_name_for(const std::string& base);

/// Removes from `folder` the temporary files (temporary_name_for) of this host whose process no longer
/// runs: what a write killed part-way left behind. Files of other hosts, of running processes and any
/// other file stay. Returns how many were removed.
int remove_stale_temporaries(const std::string& folder);

/// This host's name as temporary names hold it: '/' and '-' put as '_', "host" when it has none.
std::string host_name_for_files();
