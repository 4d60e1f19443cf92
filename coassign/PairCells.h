#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

/// A read-only view of pair counts laid out by pair_index (coassign/PairCounts.h), in cells of 1, 2 or 4
/// bytes: counts out of n draws need a cell no wider than n does (at most 255 draws fit a byte, 65,535 two
/// bytes). Copying the view copies no count; whoever holds the counts keeps them alive (SharedPairCells).
///
/// operator[] reads one cell whatever its width; loops over many cells should call visit(), which hands
/// the cells over once as a span of their own width.
class PairCells {
  public:
    PairCells() = default;
    PairCells(std::span<const std::uint32_t> cells) : data_(cells.data()), size_(cells.size()), bytes_(4) {}
    PairCells(std::span<const std::uint16_t> cells) : data_(cells.data()), size_(cells.size()), bytes_(2) {}
    PairCells(std::span<const std::uint8_t> cells) : data_(cells.data()), size_(cells.size()), bytes_(1) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    /// Bytes a cell: 1, 2 or 4 (4 for an empty view).
    int cell_bytes() const { return bytes_; }

    std::uint32_t operator[](std::size_t i) const {
        switch (bytes_) {
            case 1:
                return static_cast<const std::uint8_t*>(data_)[i];
            case 2:
                return static_cast<const std::uint16_t*>(data_)[i];
            default:
                return static_cast<const std::uint32_t*>(data_)[i];
        }
    }

    /// Calls f(std::span<const T>) with T the cells' own type (std::uint8_t, std::uint16_t or
    /// std::uint32_t) and returns what it returns; f must return the same type for all three.
    template <class F>
    decltype(auto) visit(F&& f) const {
        switch (bytes_) {
            case 1:
                return f(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data_), size_));
            case 2:
                return f(std::span<const std::uint16_t>(static_cast<const std::uint16_t*>(data_), size_));
            default:
                return f(std::span<const std::uint32_t>(static_cast<const std::uint32_t*>(data_), size_));
        }
    }

    /// The counts in order, as 32-bit values.
    class iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::uint32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::uint32_t;

        iterator() = default;
        iterator(const PairCells* cells, std::size_t at) : cells_(cells), at_(at) {}
        std::uint32_t operator*() const { return (*cells_)[at_]; }
        std::uint32_t operator[](difference_type d) const { return (*cells_)[at_ + static_cast<std::size_t>(d)]; }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++at_;
            return old;
        }
        iterator& operator--() {
            --at_;
            return *this;
        }
        iterator operator--(int) {
            iterator old = *this;
            --at_;
            return old;
        }
        iterator& operator+=(difference_type d) {
            at_ = static_cast<std::size_t>(static_cast<difference_type>(at_) + d);
            return *this;
        }
        iterator& operator-=(difference_type d) { return *this += -d; }
        friend iterator operator+(iterator i, difference_type d) { return i += d; }
        friend iterator operator+(difference_type d, iterator i) { return i += d; }
        friend iterator operator-(iterator i, difference_type d) { return i -= d; }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return static_cast<difference_type>(a.at_) - static_cast<difference_type>(b.at_);
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.at_ == b.at_; }
        friend auto operator<=>(const iterator& a, const iterator& b) { return a.at_ <=> b.at_; }

      private:
        const PairCells* cells_ = nullptr;
        std::size_t at_ = 0;
    };
    iterator begin() const { return {this, 0}; }
    iterator end() const { return {this, size_}; }

  private:
    const void* data_ = nullptr;
    std::size_t size_ = 0;
    std::uint8_t bytes_ = 4;
};

/// Pair counts shared by whoever reads them (the Marginal that made them, the tree's seeding, the map, the
/// average linkage, the estimate's map order), so that none needs a copy: the counts live until the last
/// holder lets go. Empty (false) when it holds none.
class SharedPairCells {
  public:
    SharedPairCells() = default;
    /// Shares the counts of a vector of 8-, 16- or 32-bit cells; a null pointer gives an empty holder.
    template <class Vector>
    requires std::is_same_v<std::remove_const_t<Vector>, std::vector<std::uint8_t>> ||
        std::is_same_v<std::remove_const_t<Vector>, std::vector<std::uint16_t>> ||
        std::is_same_v<std::remove_const_t<Vector>, std::vector<std::uint32_t>>
        SharedPairCells(std::shared_ptr<Vector> cells) {
        if (!cells) return;
        cells_ = PairCells(std::span(std::as_const(*cells)));
        owner_ = std::move(cells);
    }
    /// Shares `cells`, whose memory `owner` keeps alive.
    SharedPairCells(std::shared_ptr<const void> owner, PairCells cells) : owner_(std::move(owner)), cells_(cells) {
        if (!owner_) cells_ = {};
    }

    explicit operator bool() const { return owner_ != nullptr; }
    void reset() {
        owner_.reset();
        cells_ = {};
    }
    const PairCells& cells() const { return cells_; }
    std::size_t size() const { return cells_.size(); }

  private:
    std::shared_ptr<const void> owner_;
    PairCells cells_;
};
