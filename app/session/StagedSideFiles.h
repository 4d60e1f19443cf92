#pragma once

// The trajectory side files of a load, written under names of their own beside the real ones
// ("_trajectories.txt" as ".loading-3-_trajectories.txt") and put in place only when the load's runs are
// opened. A load cancelled or replaced after writing its side files thus leaves those of the runs still open
// as they were; what is still staged when the load is dropped is removed.

#include "sample/Notices.h"

#include <cstddef>
#include <string>
#include <vector>

class StagedSideFiles {
  public:
    /// The side files of `runs` runs loaded together into `side_path` (numbered when several); "" for none.
    StagedSideFiles(const std::string& side_path, std::size_t runs);
    /// Removes the side files still staged.
    ~StagedSideFiles();
    StagedSideFiles(const StagedSideFiles&) = delete;
    StagedSideFiles& operator=(const StagedSideFiles&) = delete;

    /// Where the load writes its side file (numbered from it when several runs).
    const std::string& path() const { return staged_; }
    /// The name a staged side file takes in place: `staged` without the load's prefix.
    std::string in_place(const std::string& staged) const;
    /// Moves every staged side file to its place, replacing the file there.
    void put_in_place() const;
    /// The load's messages name the side files as they are called in place.
    void rename_in(std::vector<Notice>& notices) const;

  private:
    std::string staged_;
    std::string prefix_;  ///< the folder's separator and the load's prefix, as paths hold them
    std::string separator_;
    std::size_t runs_;
};
