#pragma once
// The records of an open table, read from its file as they are asked for and kept in a
// bounded cache, so that a table of any size takes a few megabytes of memory.
//
// The cache holds fixed-size blocks of whole records; when it is full, the block used least
// recently makes room. Once reads have followed each other in record order for a block's
// worth of records (a scan), a read past the cached blocks fetches a large stretch at once into a
// read-ahead buffer of its own, so that a scan costs one read per megabyte and does not push out
// the blocks that lookups keep coming back to. Records appended by the table's writer go to the
// file first and are then told to the store, which keeps a cached last block in step.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/platform_file.hpp"

namespace thq::data {

struct RecordCacheLimits {
    std::size_t blockBytes =
        std::size_t{16} * 1024;  // what a lookup reads at once (at least one record)
    // The blocks kept, at most (at least two blocks): a whole school's tables, and a district's
    // SOLUC read in any order, stay in memory; only larger tables are read again.
    std::size_t budgetBytes = std::size_t{16} * 1024 * 1024;
    std::size_t readAheadBytes =
        std::size_t{1024} * 1024;  // what a scan reads at once (0: no read-ahead)
};

class RecordStore {
public:
    explicit RecordStore(RecordCacheLimits limits = {});

    // Reads `count` records of `length` bytes from byte `start` of `file`, which the caller
    // keeps open while the store is attached. `name` is the file as messages show it.
    void attach(const platform::File& file, std::string name, std::uint64_t start,
                std::size_t length, std::size_t count);
    // Forgets the file and frees the cache.
    void detach() noexcept;

    std::size_t count() const noexcept { return count_; }

    // The bytes of record `index` (below count()). The view is good until the next call of
    // record() or appended() on this store, which may reuse its memory: copy what must live
    // longer. A file that ends before the record, or a failed read, throws thq::Error naming
    // the file.
    std::string_view record(std::size_t index) const;

    // The caller has written a record after the last one to the file; these are its bytes.
    void appended(std::string_view bytes);

private:
    struct Block {
        std::size_t number = 0;     // which block of the table
        std::size_t records = 0;    // how many of its records it holds (fewer in the last block)
        std::uint64_t lastUse = 0;  // when it was last read from, for choosing whom to drop
        std::string bytes;
    };
    static constexpr std::uint32_t kNotCached = 0;

    // Reads records [first, first + n) into `into`; returns how many were read whole (fewer
    // where the file ends before them), `into` holding just those.
    std::size_t readRecords(std::size_t first, std::size_t n, std::string& into) const;
    [[noreturn]] void failMissing(std::size_t index) const;
    const Block& blockFor(std::size_t number) const;
    void fillReadAhead(std::size_t index) const;

    RecordCacheLimits limits_;
    const platform::File* file_ = nullptr;
    std::string name_;
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
    std::size_t count_ = 0;
    std::size_t blockRecords_ = 1;  // records per block
    std::size_t maxBlocks_ = 2;     // blocks the budget allows
    std::size_t readAheadRecords_ = 0;

    mutable std::vector<Block> blocks_;
    // Block number -> 1 + its place in blocks_, or kNotCached.
    mutable std::vector<std::uint32_t> blockPlace_;
    mutable std::uint64_t clock_ = 0;
    // The read-ahead stretch: records [aheadFirst_, aheadFirst_ + aheadCount_).
    mutable std::string ahead_;
    mutable std::size_t aheadFirst_ = 0;
    mutable std::size_t aheadCount_ = 0;
    // The record read last and how many were read in order up to it, to tell a scan from
    // lookups (SIZE_MAX before the first read).
    mutable std::size_t lastIndex_ = static_cast<std::size_t>(-1);
    mutable std::size_t streak_ = 0;
};

}  // namespace thq::data
